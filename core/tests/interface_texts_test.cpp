#include "core/interface_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every interface text, in the order of the table, exactly as the program has always shown it
// (trailing blanks, the four dots and the odd spellings included).
TEST(InterfaceTexts, EveryTextReadsExactly) {
  const std::pair<const char*, const char*> table[] = {
      {lang::OKButton, "&OK"},
      {lang::CancelButton, "&Cancel"},
      {lang::YesButton, "&Yes"},
      {lang::NoButton, "&No"},
      {lang::HelpButton, "&Help"},
      {lang::AboutButton, "A&bout"},
      {lang::TaskListCaption, "Task List"},
      {lang::AddFilesButton, "&Add Files"},
      {lang::RemoveButton, "&Remove"},
      {lang::EditButton, "&Edit"},
      {lang::StartButton, "&Start"},
      {lang::ConvertingSettingsCaption, "Converting Settings ...."},
      {lang::CannotActWhileBusy, "Can NOT do the action while reading or converting files."},
      {lang::UseSameSettingsQuestion, "Would you like to use same settings to other files?"},
      {lang::AddFilesHint, "Please click the \"Add Files\" button to add files."},
      {lang::ReadingFileStatus, "Reading file: "},
      {lang::InputFileLabel, "Input File"},
      {lang::OutputFileLabel, "Output File"},
      {lang::DurationLabel, "Duration"},
      {lang::OutputFileSizeLabel, "Output File Size"},
      {lang::NothingToConvert, "There is nothing to convert! "},
      {lang::EditLink, "Edit"},
      {lang::SettingsCaption, "Settings"},
      {lang::InputFileInformationCaption, "Input File Information"},
      {lang::BackButton, "&Back"},
      {lang::NextButton, "&Next"},
      {lang::TagEditorCaption, "Tag Editor"},
      {lang::MonoSource, "mono"},
      {lang::StereoSource, "stereo"},
      {lang::ChannelsWord, "channels"},
      {lang::AudioLabel, "Audio"},
      {lang::AboutWord, "about"},
      {lang::MessageCaption, "Message"},
      {lang::ConvertingProgressCaption, "Converting Progress"},
      {lang::PreviewWindowCaption, "Preview Window"},
      {lang::PauseButton, "&Pause"},
      {lang::ResumeButton, "&Resume"},
      {lang::ShutdownCheck, "Shut down computer automatically after conversion"},
      {lang::CurrentFileLabel, "Current File"},
      {lang::TimeElapsedLabel, "Time elapsed"},
      {lang::RemainedLabel, "remained"},
      {lang::CancelConvertingQuestion, "Are you sure to cancel the converting?"},
      {lang::CheckTasksHint, "Please check the checkbox to select conversting tasks."},
      {lang::ReadingFileWait, "Reading file, please have a wait"},
      {lang::RestoreMainWindowHint, "Click here to restore the main Window"},
      {lang::HideToTrayButton, "&Hide to Tray"},
      {lang::AllFilesConverted, "All files have been converted successfully."},
      {lang::UserCanceled, "User has canceled the converting."},
      {lang::OpenOutputFolderQuestion, "Would you like to open the output folder for viewing output files?"},
      {lang::CannotReadFile, "The following file can NOT be read correctly."},
      {lang::InstallCodecsHint,
       "Normally, you need only install the required codecs to solve the problem. Please click the Help button "
       "to get more information on installing codecs."},
      {lang::NoAudioStream, "The following file has no audio stream and can NOT be converted into MP3!"},
      {lang::OutputFolderMissing, "The specified output folder doesn't exists."},
      {lang::CreateFolderQuestion, "Would you like to create the new folder?"},
      {lang::AboutCaption, "About"},
      {lang::VersionLabel, "Version"},
      {lang::HomePageLabel, "Home &Page"},
      {lang::SupportEmailLabel, "Support Email"},
      {lang::ReplaceFileQuestion, "Would you like to replace the old file?"},
      {lang::MP3SettingsLabel, "MP3 Settings"},
  };
  static_assert(std::size(table) == 60);
  int number = 0;
  for (const auto& [text, expected] : table) {
    ++number;
    EXPECT_EQ(std::string(text), expected) << "entry " << number;
  }
}

}  // namespace
