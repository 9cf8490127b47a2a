#include "core/interface_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <cctype>
#include <string_view>

namespace {

// Every interface text, as the translators and the user get it.
constexpr const char* kTexts[] = {
    lang::OKButton, lang::CancelButton, lang::YesButton, lang::NoButton, lang::HelpButton, lang::AboutButton,
    lang::TaskListCaption, lang::AddFilesButton, lang::AddFolderButton, lang::RemoveButton, lang::EditButton,
    lang::StartButton, lang::ConvertingSettingsCaption, lang::CannotActWhileBusy,
    lang::UseSameSettingsQuestion, lang::AddFilesHint, lang::ReadingFileStatus, lang::InputFileLabel,
    lang::OutputFileLabel, lang::DurationLabel, lang::OutputFileSizeLabel, lang::AboutSize,
    lang::NothingToConvert, lang::EditLink, lang::MP3SettingsLabel, lang::ConstantBitrate,
    lang::VariableBitrate, lang::OutputLocationLabel, lang::BesideEachSource, lang::ChooseOutputFolder,
    lang::AddFilesDialogTitle, lang::AddFolderDialogTitle, lang::OutputFolderDialogTitle,
    lang::AllMediaFilesFilter, lang::WindowsMediaFilesFilter, lang::AllFilesFilter, lang::NoMediaFilesFound,
    lang::FilesNotAdded, lang::NotReadableReason, lang::NoAudioReason, lang::ProtectedReason,
    lang::FileColumn, lang::DualChannelsMode, lang::StereoMode, lang::JointStereoMode, lang::MonoMode,
    lang::SettingsCaption, lang::InputFileInformationCaption, lang::InputFileField, lang::OutputFileField,
    lang::ChooseInputFile, lang::ChooseOutputFile, lang::InputFileDialogTitle, lang::OutputFileDialogTitle,
    lang::Mp3FilesFilter, lang::BackButton, lang::NextButton, lang::BitrateCaption, lang::VbrCheck,
    lang::BitrateField, lang::MinimumBitrateField, lang::MaximumBitrateField, lang::SampleRateCaption,
    lang::ChannelModeCaption, lang::TagEditorCaption, lang::TitleField, lang::AlbumField, lang::ArtistField,
    lang::AlbumArtistField, lang::TrackField, lang::GenreField, lang::YearField, lang::CommentField,
    lang::CoverPreviewName, lang::AlbumArtistLabel, lang::TrackLabel, lang::DiscLabel, lang::ComposerLabel,
    lang::CoverLabel, lang::CoverLeftOut, lang::MoreTagsLabel, lang::IncludeCoverCheck, lang::NoCoverPicture,
    lang::MonoSource, lang::StereoSource, lang::ChannelsWord, lang::AudioLabel, lang::OutputIsInput,
    lang::ChooseAnotherOutput, lang::AboutWord, lang::MessageCaption, lang::ConvertingProgressCaption,
    lang::PreviewWindowCaption, lang::PauseButton, lang::ResumeButton, lang::ShutdownCheck,
    lang::CurrentFileLabel, lang::TimeElapsedLabel, lang::RemainedLabel, lang::CancelConvertingQuestion,
    lang::CheckTasksHint, lang::ReadingFileWait, lang::RestoreMainWindowHint, lang::HideToTrayButton,
    lang::AllFilesConverted, lang::UserCanceled, lang::OpenOutputFolderQuestion, lang::ShowWindowAction,
    lang::ConversionFinishedTitle, lang::FilesConvertedCount, lang::FilesFailedCount,
    lang::FilesToConvertLabel, lang::OneFileFailed, lang::FilesFailed, lang::OneFileWarned,
    lang::FilesWarned, lang::TitleColumn, lang::StatusColumn, lang::WaitingState, lang::ConvertingState,
    lang::DoneState, lang::FailedState, lang::SkippedState, lang::CancelledState, lang::PausedState,
    lang::ProblemsCaption, lang::AlreadyExists, lang::OutputExistsQuestion, lang::ReplaceButton,
    lang::SkipButton, lang::KeepBothButton, lang::SameForRestCheck, lang::ThreadNotCreated,
    lang::CannotReadFile, lang::InstallCodecsHint, lang::ProtectedFile, lang::NoAudioStream,
    lang::OutputFolderMissing, lang::CreateFolderQuestion, lang::AboutCaption, lang::VersionLabel,
    lang::HomePageLabel, lang::SupportEmailLabel, lang::ReplaceFileQuestion,
};

// The words the program once showed misspelt or ungrammatical; none may come back.
constexpr std::string_view kMistakes[] = {"Stero", "conversting", "exists.", "Meida", "Can NOT", "can NOT",
                                          "to cancel the converting", "have a wait", "main Window", "remained",
                                          "same settings to", "canceled the converting"};

// Texts are joined with blanks and line breaks of their own: none starts or ends with a blank,
// none holds two blanks or four dots in a row, every "&" marks a letter or a digit, and no
// known mistake is left.
TEST(InterfaceTexts, EveryTextIsProofread) {
  for (const std::string_view text : kTexts) {
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.front(), ' ') << text;
    EXPECT_NE(text.back(), ' ') << text;
    EXPECT_EQ(text.find("  "), std::string_view::npos) << text;
    EXPECT_EQ(text.find("...."), std::string_view::npos) << text;
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
      ASSERT_LT(at + 1, text.size()) << text;
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(text[at + 1]))) << text;
    }
    for (const std::string_view mistake : kMistakes) EXPECT_EQ(text.find(mistake), std::string_view::npos) << text;
  }
}

}  // namespace
