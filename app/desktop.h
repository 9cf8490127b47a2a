// Opening files, folders, web and mail addresses with the desktop's default action
// (xdg-open underneath), and the program's help. Failures are not reported: the desktop shows
// nothing when no application handles a type, and neither does the program.
//
// Thread: the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include <QUrl>


// The help file's name; it stands beside the program or in the installed share folder.
inline constexpr char HelpFileName[] = "tavisto.html";

// Opens a local file or folder (a path) or an address ("https://…", "mailto:…").
void OpenWithDesktop(const std::string& pathOrAddress);
// Opens the help file in the default browser; nothing happens when it is missing.
void OpenHelpFile();

// Tests replace the desktop with `opener` to see what would be opened; an empty function
// restores the desktop.
void SetDesktopOpener(std::function<void(const QUrl&)> opener);

