// The interface texts: the captions that the windows set when they are shown, and the texts
// of every notice, question and error, by name. English; this table is the one place where the
// wording of the interface changes, and each text is marked for the translation tools
// (translation.h): the windows show it in the user's language. "&" marks the access key of a
// button or check box caption. Messages are built from these texts and short fixed separators
// (":", ": ", "…", line breaks, blanks). Constant UTF-8 texts, readable from any thread.
#pragma once

#include "core/translation.h"

namespace lang {

// Buttons and check boxes.
inline constexpr char OKButton[] = LANG_TEXT("&OK");
inline constexpr char CancelButton[] = LANG_TEXT("&Cancel");
inline constexpr char YesButton[] = LANG_TEXT("&Yes");
inline constexpr char NoButton[] = LANG_TEXT("&No");
inline constexpr char HelpButton[] = LANG_TEXT("&Help");
inline constexpr char AboutButton[] = LANG_TEXT("A&bout");

// Main window.
inline constexpr char TaskListCaption[] = LANG_TEXT("Task List");
inline constexpr char AddFilesButton[] = LANG_TEXT("&Add Files…");
inline constexpr char AddFolderButton[] = LANG_TEXT("Add F&older…");
inline constexpr char RemoveButton[] = LANG_TEXT("&Remove");
inline constexpr char EditButton[] = LANG_TEXT("&Edit…");
inline constexpr char StartButton[] = LANG_TEXT("&Start");
inline constexpr char ConvertingSettingsCaption[] = LANG_TEXT("Conversion Settings");
inline constexpr char CannotActWhileBusy[] = LANG_TEXT("This cannot be done while files are being read or converted.");
inline constexpr char UseSameSettingsQuestion[] = LANG_TEXT("Would you like to use the same settings for the other files?");
inline constexpr char AddFilesHint[] = LANG_TEXT("Please click the \"Add Files\" button to add files.");
inline constexpr char ReadingFileStatus[] = LANG_TEXT("Reading file:");
inline constexpr char InputFileLabel[] = LANG_TEXT("Input File");
inline constexpr char OutputFileLabel[] = LANG_TEXT("Output File");
inline constexpr char DurationLabel[] = LANG_TEXT("Duration");
inline constexpr char OutputFileSizeLabel[] = LANG_TEXT("Output File Size");
inline constexpr char AboutSize[] = LANG_TEXT("about");  // before an estimated size: "about 2.90 MB"
inline constexpr char NothingToConvert[] = LANG_TEXT("There is nothing to convert.");
inline constexpr char MP3SettingsLabel[] = LANG_TEXT("MP3 Settings");
inline constexpr char ConstantBitrate[] = LANG_TEXT("CBR");
inline constexpr char VariableBitrate[] = LANG_TEXT("VBR");
inline constexpr char OutputLocationLabel[] = LANG_TEXT("Sa&ve MP3 files:");
inline constexpr char BesideEachSource[] = LANG_TEXT("Beside each source file");
inline constexpr char ChooseOutputFolder[] = LANG_TEXT("Choose a folder…");
inline constexpr char AddFilesDialogTitle[] = LANG_TEXT("Select Files to Convert");
inline constexpr char AddFolderDialogTitle[] = LANG_TEXT("Select a Folder to Convert");
inline constexpr char OutputFolderDialogTitle[] = LANG_TEXT("Select the Folder for the MP3 Files");
inline constexpr char AllMediaFilesFilter[] = LANG_TEXT("All media files");
inline constexpr char WindowsMediaFilesFilter[] = LANG_TEXT("Windows Media files");
inline constexpr char AllFilesFilter[] = LANG_TEXT("All files");
inline constexpr char NoMediaFilesFound[] = LANG_TEXT("No media files were found in:");
inline constexpr char FilesNotAdded[] = LANG_TEXT("These files were not added:");
inline constexpr char NotReadableReason[] = LANG_TEXT("cannot be read (not a media file, or a codec is missing)");
inline constexpr char NoAudioReason[] = LANG_TEXT("has no audio stream");
inline constexpr char ProtectedReason[] = LANG_TEXT("is protected by DRM");
inline constexpr char MissingReason[] = LANG_TEXT("does not exist");
inline constexpr char FileColumn[] = LANG_TEXT("File");

// Main window: output names, run options, the kept task list and files handed over in a run.
inline constexpr char OutputNamesLabel[] = LANG_TEXT("File na&mes:");
inline constexpr char LikeSourceNames[] = LANG_TEXT("Like the source");
inline constexpr char ArtistAlbumTitleNames[] = LANG_TEXT("Artist/Album/Track Title");
inline constexpr char OwnPatternNames[] = LANG_TEXT("Own pattern…");
inline constexpr char NamePatternName[] = LANG_TEXT("Name pattern");
inline constexpr char NamePatternHint[] = LANG_TEXT(
    "Fields: %artist% %albumartist% %album% %title% %track% %disc% %year% %genre% %filename% %folder%. "
    "\"/\" makes folders; \".mp3\" is added.");
inline constexpr char NamePreviewLabel[] = LANG_TEXT("Preview:");  // before a resulting name
inline constexpr char PatternNotUsed[] = LANG_TEXT("This pattern is not used:");  // before the reason
inline constexpr char PatternUnclosedField[] = LANG_TEXT("a \"%\" has no closing \"%\"");
inline constexpr char PatternUnknownField[] = LANG_TEXT("%1 is not a field");  // %1: "%name%"
inline constexpr char PatternMakesNoName[] = LANG_TEXT("it makes no file name");
inline constexpr char UpdateOnlyCheck[] = LANG_TEXT("Convert only &new or changed files");
inline constexpr char OptionsButton[] = LANG_TEXT("O&ptions");
inline constexpr char VerifyOption[] = LANG_TEXT("&Check each MP3 by decoding it again");
inline constexpr char ReplayGainOption[] = LANG_TEXT("Write Replay&Gain (even loudness)");
inline constexpr char FolderArtOption[] = LANG_TEXT("Album art from the source's &folder when it has none");
inline constexpr char DoneWithWarningState[] = LANG_TEXT("Done with a warning");
inline constexpr char QueuedState[] = LANG_TEXT("Waiting for the run");
inline constexpr char BringBackQuestion[] = LANG_TEXT(
    "Bring back the %1 tasks of the last session? %2 of them are not converted yet.");
inline constexpr char TasksBroughtBack[] = LANG_TEXT("The tasks of the last session are back: %1.");
inline constexpr char ListKeptNotice[] = LANG_TEXT(
    "The task list is kept: at the next start Tavisto offers to bring it back.");
inline constexpr char ListKeptElsewhere[] = LANG_TEXT("The task list is not kept: another Tavisto keeps it.");
inline constexpr char ListNotWritten[] = LANG_TEXT("The task list cannot be kept:");  // before the reason
inline constexpr char HandedOverStatus[] = LANG_TEXT("Files that arrived during the run: %1. They are converted when it ends.");

// Channel modes, in the order of their numbers.
inline constexpr char DualChannelsMode[] = LANG_TEXT("Dual Channels");
inline constexpr char StereoMode[] = LANG_TEXT("Stereo");
inline constexpr char JointStereoMode[] = LANG_TEXT("Joint Stereo");
inline constexpr char MonoMode[] = LANG_TEXT("Mono");

// Wizard.
inline constexpr char SettingsCaption[] = LANG_TEXT("Settings");
inline constexpr char InputFileInformationCaption[] = LANG_TEXT("Input File Information");
inline constexpr char InputFileField[] = LANG_TEXT("&Input file:");
inline constexpr char OutputFileField[] = LANG_TEXT("O&utput file:");
inline constexpr char ChooseInputFile[] = LANG_TEXT("Choose another input file");
inline constexpr char ChooseOutputFile[] = LANG_TEXT("Choose the output file");
inline constexpr char InputFileDialogTitle[] = LANG_TEXT("Select the Input File");
inline constexpr char OutputFileDialogTitle[] = LANG_TEXT("Save the MP3 File As");
inline constexpr char Mp3FilesFilter[] = LANG_TEXT("MP3 files");
inline constexpr char BackButton[] = LANG_TEXT("&Back");
inline constexpr char NextButton[] = LANG_TEXT("&Next");
inline constexpr char BitrateCaption[] = LANG_TEXT("Bit Rate");
inline constexpr char VbrCheck[] = LANG_TEXT("&Variable bit rate (VBR)");
inline constexpr char BitrateField[] = LANG_TEXT("Bit &rate:");
inline constexpr char MinimumBitrateField[] = LANG_TEXT("M&inimum:");
inline constexpr char MaximumBitrateField[] = LANG_TEXT("Ma&ximum:");
inline constexpr char VbrQualityField[] = LANG_TEXT("&Quality:");
inline constexpr char BestQuality[] = LANG_TEXT("best");         // after the VBR quality 0
inline constexpr char SmallestFile[] = LANG_TEXT("smallest");    // after the VBR quality 9
inline constexpr char SampleRateCaption[] = LANG_TEXT("Sample Rate");
inline constexpr char ChannelModeCaption[] = LANG_TEXT("Channel Mode");
inline constexpr char TagEditorCaption[] = LANG_TEXT("Tag Editor");
inline constexpr char TitleField[] = LANG_TEXT("&Title:");
inline constexpr char AlbumField[] = LANG_TEXT("A&lbum:");
inline constexpr char ArtistField[] = LANG_TEXT("&Artist:");
inline constexpr char AlbumArtistField[] = LANG_TEXT("Album a&rtist:");
inline constexpr char TrackField[] = LANG_TEXT("Trac&k:");
inline constexpr char GenreField[] = LANG_TEXT("&Genre:");
inline constexpr char YearField[] = LANG_TEXT("&Year:");
inline constexpr char CommentField[] = LANG_TEXT("Co&mment:");
inline constexpr char CoverPreviewName[] = LANG_TEXT("Cover picture");
inline constexpr char AlbumArtistLabel[] = LANG_TEXT("Album artist");
inline constexpr char TrackLabel[] = LANG_TEXT("Track");
inline constexpr char DiscLabel[] = LANG_TEXT("Disc");
inline constexpr char ComposerLabel[] = LANG_TEXT("Composer");
inline constexpr char CoverLabel[] = LANG_TEXT("Cover");
inline constexpr char CoverLeftOut[] = LANG_TEXT("left out");
inline constexpr char MoreTagsLabel[] = LANG_TEXT("More tags");
inline constexpr char IncludeCoverCheck[] = LANG_TEXT("Include the co&ver picture");
inline constexpr char NoCoverPicture[] = LANG_TEXT("The source has no cover picture.");
inline constexpr char MonoSource[] = LANG_TEXT("mono");
inline constexpr char StereoSource[] = LANG_TEXT("stereo");
inline constexpr char ChannelsWord[] = LANG_TEXT("channels");  // after a count: "6 channels"
inline constexpr char AudioLabel[] = LANG_TEXT("Audio");
inline constexpr char OutputIsInput[] = LANG_TEXT("The output file is the input file itself:");
inline constexpr char ChooseAnotherOutput[] = LANG_TEXT("Please choose another output file.");

// Progress and message windows.
inline constexpr char AboutWord[] = LANG_TEXT("about");  // before the remaining time: "about 0:02:10"
inline constexpr char ConvertingProgressCaption[] = LANG_TEXT("Conversion Progress");
inline constexpr char PreviewWindowCaption[] = LANG_TEXT("Preview Window");
inline constexpr char PauseButton[] = LANG_TEXT("&Pause");
inline constexpr char ResumeButton[] = LANG_TEXT("&Resume");
inline constexpr char ShutdownCheck[] = LANG_TEXT("Shut down the computer after the conversion");
inline constexpr char CurrentFileLabel[] = LANG_TEXT("Current File");
inline constexpr char TimeElapsedLabel[] = LANG_TEXT("Time elapsed");
inline constexpr char RemainedLabel[] = LANG_TEXT("remaining");
inline constexpr char CancelConvertingQuestion[] = LANG_TEXT("Are you sure you want to cancel the conversion?");
inline constexpr char CheckTasksHint[] = LANG_TEXT("Please check the tasks you want to convert.");
inline constexpr char ReadingFileWait[] = LANG_TEXT("Reading file, please wait");
inline constexpr char RestoreMainWindowHint[] = LANG_TEXT("Click here to restore the main window");
inline constexpr char HideToTrayButton[] = LANG_TEXT("&Hide to Tray");
inline constexpr char AllFilesConverted[] = LANG_TEXT("All files have been converted successfully.");
inline constexpr char UserCanceled[] = LANG_TEXT("The conversion was cancelled.");
inline constexpr char OpenOutputFolderQuestion[] = LANG_TEXT("Would you like to open the output folder to see the converted files?");
inline constexpr char TotalProgressName[] = LANG_TEXT("Total progress");
inline constexpr char ErrorKind[] = LANG_TEXT("Error");
inline constexpr char InformationKind[] = LANG_TEXT("Information");
inline constexpr char QuestionKind[] = LANG_TEXT("Question");
inline constexpr char WarningKind[] = LANG_TEXT("Warning");
inline constexpr char ShowWindowAction[] = LANG_TEXT("&Show");
inline constexpr char ConversionFinishedTitle[] = LANG_TEXT("Conversion Finished");
inline constexpr char FilesToConvertLabel[] = LANG_TEXT("Files");
inline constexpr char OneFileFailed[] = LANG_TEXT("1 file could not be converted:");
inline constexpr char FilesFailed[] = LANG_TEXT("files could not be converted:");  // after a count
inline constexpr char OneFileWarned[] = LANG_TEXT("1 file was converted with a warning:");
inline constexpr char FilesWarned[] = LANG_TEXT("files were converted with a warning:");  // after a count

// A conversion run's tasks and files.
inline constexpr char TitleColumn[] = LANG_TEXT("Title");
inline constexpr char StatusColumn[] = LANG_TEXT("Status");
inline constexpr char WaitingState[] = LANG_TEXT("Waiting");
inline constexpr char ConvertingState[] = LANG_TEXT("Converting");
inline constexpr char DoneState[] = LANG_TEXT("Done");
inline constexpr char FailedState[] = LANG_TEXT("Failed");
inline constexpr char SkippedState[] = LANG_TEXT("Skipped");
inline constexpr char CancelledState[] = LANG_TEXT("Cancelled");
inline constexpr char PausedState[] = LANG_TEXT("Paused");
inline constexpr char UpToDateState[] = LANG_TEXT("Up to date");
inline constexpr char VerifiedState[] = LANG_TEXT("Verified");
inline constexpr char ClaimedElsewhereReason[] = LANG_TEXT("another Tavisto converts it");
inline constexpr char ProblemsCaption[] = LANG_TEXT("Problems");
inline constexpr char AlreadyExists[] = LANG_TEXT("already exists");
inline constexpr char OutputExistsQuestion[] = LANG_TEXT("The output file already exists:");
inline constexpr char ReplaceButton[] = LANG_TEXT("&Replace");
inline constexpr char SkipButton[] = LANG_TEXT("&Skip");
inline constexpr char KeepBothButton[] = LANG_TEXT("&Keep Both");
inline constexpr char SameForRestCheck[] = LANG_TEXT("&Do the same for the rest of this run");

// Inspection and wizard messages.
inline constexpr char ThreadNotCreated[] = LANG_TEXT("No thread could be started to read the file.");
inline constexpr char CannotReadFile[] = LANG_TEXT("The following file cannot be read.");
inline constexpr char InstallCodecsHint[] = LANG_TEXT(
    "Usually installing the required codecs solves the problem. Please click the Help button to learn "
    "how to install them.");
inline constexpr char ProtectedFile[] = LANG_TEXT("is protected by DRM and cannot be converted.");  // after a path
inline constexpr char FileDoesNotExist[] = LANG_TEXT("The following file does not exist.");
inline constexpr char NoAudioStream[] = LANG_TEXT("The following file has no audio stream and cannot be converted to MP3.");
inline constexpr char OutputFolderMissing[] = LANG_TEXT("The specified output folder does not exist.");
inline constexpr char CreateFolderQuestion[] = LANG_TEXT("Would you like to create it?");

// Why a file could not be converted. "%1" is a file, "%2" the system's reason.
inline constexpr char EncoderUnavailableError[] = LANG_TEXT("The MP3 encoder cannot be used: %1");
inline constexpr char EncoderRefusedError[] = LANG_TEXT("The MP3 encoder cannot encode audio of %1 Hz with these settings.");
inline constexpr char EncoderFailedError[] = LANG_TEXT("The MP3 encoder failed (error %1).");
inline constexpr char FolderUncreatableError[] = LANG_TEXT("Cannot create the folder \"%1\": %2");
inline constexpr char OutputUncreatableError[] = LANG_TEXT("Cannot create the file \"%1\": %2");
inline constexpr char OutputWriteError[] = LANG_TEXT("Cannot write to the file \"%1\": %2");
inline constexpr char OutputExistsError[] = LANG_TEXT("A file named \"%1\" is already there.");
inline constexpr char OutputIsFolderError[] = LANG_TEXT("\"%1\" is a folder, not a file that could be replaced.");
inline constexpr char OutputIsLinkError[] = LANG_TEXT("\"%1\" is a symbolic link, not a file that could be replaced.");
inline constexpr char OutputIsDeviceError[] = LANG_TEXT("\"%1\" is a device, not a file that could be replaced.");
inline constexpr char OutputIsPipeError[] = LANG_TEXT("\"%1\" is a named pipe, not a file that could be replaced.");
inline constexpr char OutputIsSocketError[] = LANG_TEXT("\"%1\" is a socket, not a file that could be replaced.");
inline constexpr char NotVerifiedError[] = LANG_TEXT("The MP3 did not verify: %1");
inline constexpr char OutputIsSourceError[] = LANG_TEXT("The output file is the source file itself.");
inline constexpr char SameSourceNote[] = LANG_TEXT("the same file as \"%1\", which this run converts");
inline constexpr char ShortDecodeWarning[] = LANG_TEXT(
    "only %1 of the %2 seconds the source declares could be decoded (it may be damaged or cut short)");
inline constexpr char TagsLeftOutWarning[] = LANG_TEXT("too large to carry, left out: %1");

// Start-up.
inline constexpr char InstanceNotAnswering[] = LANG_TEXT("Tavisto is already running but does not answer: %1");

// Tips window.
inline constexpr char TipOfTheDayCaption[] = LANG_TEXT("Tip of the Day");
inline constexpr char DidYouKnowHeading[] = LANG_TEXT("Did you know?");
inline constexpr char ShowTipsCheck[] = LANG_TEXT("Show &Tips on Startup");
inline constexpr char NextTipButton[] = LANG_TEXT("&Next Tip");
inline constexpr char NoTipsFound[] = LANG_TEXT("No tips found.");

// About window.
inline constexpr char AboutCaption[] = LANG_TEXT("About");
inline constexpr char VersionLabel[] = LANG_TEXT("Version");
inline constexpr char HomePageLabel[] = LANG_TEXT("Home &Page");
inline constexpr char SupportEmailLabel[] = LANG_TEXT("Support Email");

// Wizard question about an existing output file.
inline constexpr char ReplaceFileQuestion[] = LANG_TEXT("Would you like to replace the existing file?");

// Progress window: the counts at the end of a run ("3 converted, 1 failed, 1 with a warning").
inline constexpr char ConvertedCountText[] = LANG_TEXT("%1 converted");
inline constexpr char FailedCountText[] = LANG_TEXT("%1 failed");
inline constexpr char WarnedCountText[] = LANG_TEXT("%1 with a warning");
inline constexpr char SkippedCountText[] = LANG_TEXT("%1 skipped");
inline constexpr char ConversionCancelledTitle[] = LANG_TEXT("Conversion Cancelled");

// Message window and collision question: the titles of the messages, which say what each one is
// about.
inline constexpr char ReplaceFileTitle[] = LANG_TEXT("Replace File?");
inline constexpr char NothingToConvertTitle[] = LANG_TEXT("Nothing to Convert");
inline constexpr char CannotAddFileTitle[] = LANG_TEXT("Cannot Add File");
inline constexpr char FilesNotAddedTitle[] = LANG_TEXT("Some Files Were Not Added");
inline constexpr char NoMediaFilesTitle[] = LANG_TEXT("No Media Files Found");
inline constexpr char BusyTitle[] = LANG_TEXT("Please Wait");
inline constexpr char SameSettingsTitle[] = LANG_TEXT("Use the Same Settings?");
inline constexpr char CancelConversionTitle[] = LANG_TEXT("Cancel the Conversion?");
inline constexpr char CreateFolderTitle[] = LANG_TEXT("Create the Folder?");
inline constexpr char CannotCreateFolderTitle[] = LANG_TEXT("Cannot Create the Folder");
inline constexpr char OutputIsInputTitle[] = LANG_TEXT("Choose Another Output File");
inline constexpr char TagHistoryErrorTitle[] = LANG_TEXT("Cannot Use the Tag History");

// Wizard, second pass: the labels of the settings lists and where the cover comes from.
inline constexpr char SampleRateField[] = LANG_TEXT("&Sample rate:");
inline constexpr char ChannelModeField[] = LANG_TEXT("C&hannel mode:");
inline constexpr char SourceCoverNote[] = LANG_TEXT("The source's own cover: %1");  // "JPEG, 18 KB"
inline constexpr char FolderCoverNote[] = LANG_TEXT("%1 from the album folder");    // "Folder.jpg"
inline constexpr char KbpsUnit[] = LANG_TEXT("kbps");  // after a bit rate: "128 kbps"

// Wizard and information panel: what more a source carries into its MP3 ("More tags: lyrics,
// rating ★★★★☆, 2 composers").
inline constexpr char InfoEditLink[] = LANG_TEXT("Edit…");
inline constexpr char MoreArtists[] = LANG_TEXT("%1 artists");
inline constexpr char MoreAlbumArtists[] = LANG_TEXT("%1 album artists");
inline constexpr char MoreComposers[] = LANG_TEXT("%1 composers");
inline constexpr char MoreGenres[] = LANG_TEXT("%1 genres");
inline constexpr char MoreLyrics[] = LANG_TEXT("lyrics");
inline constexpr char MoreRating[] = LANG_TEXT("rating %1");  // "rating ★★★★☆"
inline constexpr char MorePublisher[] = LANG_TEXT("publisher");
inline constexpr char MoreBpm[] = LANG_TEXT("BPM");
inline constexpr char MoreIsrc[] = LANG_TEXT("ISRC");
inline constexpr char MoreGrouping[] = LANG_TEXT("grouping");
inline constexpr char MoreSubtitle[] = LANG_TEXT("subtitle");
inline constexpr char MoreConductor[] = LANG_TEXT("conductor");
inline constexpr char MoreLyricist[] = LANG_TEXT("lyricist");
inline constexpr char MoreRemixer[] = LANG_TEXT("remixer");
inline constexpr char MoreOriginalYear[] = LANG_TEXT("original year");
inline constexpr char MoreCopyright[] = LANG_TEXT("copyright");
inline constexpr char MoreSortOrders[] = LANG_TEXT("sort orders");
inline constexpr char MoreCompilation[] = LANG_TEXT("compilation");
inline constexpr char MoreMusicBrainz[] = LANG_TEXT("MusicBrainz IDs");
inline constexpr char MoreOnePicture[] = LANG_TEXT("1 more picture");
inline constexpr char MorePictures[] = LANG_TEXT("%1 more pictures");
inline constexpr char MoreOneOther[] = LANG_TEXT("1 other field");
inline constexpr char MoreOthers[] = LANG_TEXT("%1 other fields");

// About window, second pass: the licence and the label of the home page.
inline constexpr char HomePageField[] = LANG_TEXT("Home page");
inline constexpr char LicenceNotice[] = LANG_TEXT("Licensed under the GNU General Public License, version 3 or later.");
inline constexpr char LicenceLink[] = LANG_TEXT("Read the licence");

}  // namespace lang
