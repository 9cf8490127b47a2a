// The interface texts: the captions that the windows set when they are shown, and the texts
// of every notice, question and error, by name. English; this table is the one place where the
// wording of the interface changes. "&" marks the access key of a button or check box caption.
// Messages are built from these texts and short fixed separators (":", ": ", " ...", " >",
// "< ", line breaks, blanks). Constant UTF-8 texts, readable from any thread.
#pragma once

namespace lang {

// Buttons and check boxes.
inline constexpr char OKButton[] = "&OK";
inline constexpr char CancelButton[] = "&Cancel";
inline constexpr char YesButton[] = "&Yes";
inline constexpr char NoButton[] = "&No";
inline constexpr char HelpButton[] = "&Help";
inline constexpr char AboutButton[] = "A&bout";

// Main window.
inline constexpr char TaskListCaption[] = "Task List";
inline constexpr char AddFilesButton[] = "&Add Files";
inline constexpr char RemoveButton[] = "&Remove";
inline constexpr char EditButton[] = "&Edit";
inline constexpr char StartButton[] = "&Start";
inline constexpr char ConvertingSettingsCaption[] = "Converting Settings ....";
inline constexpr char CannotActWhileBusy[] = "Can NOT do the action while reading or converting files.";
inline constexpr char UseSameSettingsQuestion[] = "Would you like to use same settings to other files?";
inline constexpr char AddFilesHint[] = "Please click the \"Add Files\" button to add files.";
inline constexpr char ReadingFileStatus[] = "Reading file: ";
inline constexpr char InputFileLabel[] = "Input File";
inline constexpr char OutputFileLabel[] = "Output File";
inline constexpr char DurationLabel[] = "Duration";
inline constexpr char OutputFileSizeLabel[] = "Output File Size";
inline constexpr char NothingToConvert[] = "There is nothing to convert! ";
inline constexpr char EditLink[] = "Edit";

// Wizard.
inline constexpr char SettingsCaption[] = "Settings";
inline constexpr char InputFileInformationCaption[] = "Input File Information";
inline constexpr char BackButton[] = "&Back";
inline constexpr char NextButton[] = "&Next";
inline constexpr char TagEditorCaption[] = "Tag Editor";
inline constexpr char AlbumArtistLabel[] = "Album artist";
inline constexpr char TrackLabel[] = "Track";
inline constexpr char DiscLabel[] = "Disc";
inline constexpr char ComposerLabel[] = "Composer";
inline constexpr char CoverLabel[] = "Cover";
inline constexpr char CoverLeftOut[] = "left out";
inline constexpr char MoreTagsLabel[] = "More tags";
inline constexpr char IncludeCoverCheck[] = "&Include the cover picture";
inline constexpr char NoCoverPicture[] = "The source has no cover picture.";
inline constexpr char MonoSource[] = "mono";
inline constexpr char StereoSource[] = "stereo";
inline constexpr char ChannelsWord[] = "channels";  // after a count: "6 channels"
inline constexpr char AudioLabel[] = "Audio";

// Progress and message windows.
inline constexpr char AboutWord[] = "about";  // before the remaining time: "about 0:02:10"
inline constexpr char MessageCaption[] = "Message";
inline constexpr char ConvertingProgressCaption[] = "Converting Progress";
inline constexpr char PreviewWindowCaption[] = "Preview Window";
inline constexpr char PauseButton[] = "&Pause";
inline constexpr char ResumeButton[] = "&Resume";
inline constexpr char ShutdownCheck[] = "Shut down computer automatically after conversion";
inline constexpr char CurrentFileLabel[] = "Current File";
inline constexpr char TimeElapsedLabel[] = "Time elapsed";
inline constexpr char RemainedLabel[] = "remained";
inline constexpr char CancelConvertingQuestion[] = "Are you sure to cancel the converting?";
inline constexpr char CheckTasksHint[] = "Please check the checkbox to select conversting tasks.";
inline constexpr char ReadingFileWait[] = "Reading file, please have a wait";
inline constexpr char RestoreMainWindowHint[] = "Click here to restore the main Window";
inline constexpr char HideToTrayButton[] = "&Hide to Tray";
inline constexpr char AllFilesConverted[] = "All files have been converted successfully.";
inline constexpr char UserCanceled[] = "User has canceled the converting.";
inline constexpr char OpenOutputFolderQuestion[] = "Would you like to open the output folder for viewing output files?";

// A conversion run's tasks and files.
inline constexpr char TitleColumn[] = "Title";
inline constexpr char StatusColumn[] = "Status";
inline constexpr char WaitingState[] = "Waiting";
inline constexpr char ConvertingState[] = "Converting";
inline constexpr char DoneState[] = "Done";
inline constexpr char FailedState[] = "Failed";
inline constexpr char SkippedState[] = "Skipped";
inline constexpr char CancelledState[] = "Cancelled";
inline constexpr char PausedState[] = "Paused";
inline constexpr char ProblemsCaption[] = "Problems";
inline constexpr char AlreadyExists[] = "already exists";
inline constexpr char OutputExistsQuestion[] = "The output file already exists:";
inline constexpr char ReplaceButton[] = "&Replace";
inline constexpr char SkipButton[] = "&Skip";
inline constexpr char KeepBothButton[] = "&Keep Both";
inline constexpr char SameForRestCheck[] = "&Do the same for the rest of this run";

// Inspection and wizard messages.
inline constexpr char CannotReadFile[] = "The following file can NOT be read correctly.";
inline constexpr char InstallCodecsHint[] =
    "Normally, you need only install the required codecs to solve the problem. Please click the Help "
    "button to get more information on installing codecs.";
inline constexpr char ProtectedFile[] = "is protected by DRM and cannot be converted.";  // after a path
inline constexpr char NoAudioStream[] = "The following file has no audio stream and can NOT be converted into MP3!";
inline constexpr char OutputFolderMissing[] = "The specified output folder doesn't exists.";
inline constexpr char CreateFolderQuestion[] = "Would you like to create the new folder?";

// About window.
inline constexpr char AboutCaption[] = "About";
inline constexpr char VersionLabel[] = "Version";
inline constexpr char HomePageLabel[] = "Home &Page";
inline constexpr char SupportEmailLabel[] = "Support Email";

// Wizard question about an existing output file, and the main window's information.
inline constexpr char ReplaceFileQuestion[] = "Would you like to replace the old file?";
inline constexpr char MP3SettingsLabel[] = "MP3 Settings";

}  // namespace lang
