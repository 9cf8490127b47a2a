// The program at home on the desktop: opening files, folders, web and mail addresses with the
// desktop's default action (xdg-open underneath), the program's help, and the icons of the
// desktop's theme. Failures to open are not reported: the desktop shows nothing when no
// application handles a type, and neither does the program.
//
// Thread: the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include <QIcon>
#include <QStyle>
#include <QUrl>

#include "core/message_kind.h"

namespace app {

// The help file's name; it stands beside the program or in the installed share folder.
inline constexpr char kHelpFileName[] = "tavisto.html";

class Desktop {
 public:
  // Opens a local file or folder (a path) or an address ("https://…", "mailto:…").
  void Open(const std::string& pathOrAddress) const;
  // Opens the help file in the default browser; nothing happens when it is missing.
  void OpenHelp() const;

  // Tests put in `opener` to see what would be opened instead of the desktop; an empty function
  // restores the desktop.
  void SetOpener(std::function<void(const QUrl&)> opener) { opener_ = std::move(opener); }

 private:
  void OpenUrl(const QUrl& url) const;

  std::function<void(const QUrl&)> opener_;
};

// Ends the program's event loops for the stop signal `signal` (a logout's SIGTERM, the
// terminal's SIGHUP, Ctrl-C): at once, whatever window is open or would refuse to close, with
// the exit status 128 + `signal`. What runs is stopped and removed as the windows go.
void EndForSignal(int signal);

// The icon the desktop's theme has under the freedesktop name `themeName` ("dialog-warning"),
// or Qt's own standard icon `fallback` where the theme has none: the windows show one set of
// icons, never a drawn one beside the theme's.
QIcon ThemeIcon(const char* themeName, QStyle::StandardPixmap fallback);

// The icon of a message of `kind`: the theme's dialog-error, -information, -question or
// -warning.
QIcon MessageIcon(core::MessageKind kind);

// The edge of the message icons, in device-independent pixels: the size the desktop's own
// message boxes use.
int MessageIconSize();

}  // namespace app
