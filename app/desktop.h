// Opening files, folders, web and mail addresses with the desktop's default action
// (xdg-open underneath), and the program's help. Failures are not reported: the desktop shows
// nothing when no application handles a type, and neither does the program.
//
// Thread: the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include <QUrl>

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

}  // namespace app
