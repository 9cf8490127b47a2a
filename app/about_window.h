// The about window: product title, version and build, the home page and the support address,
// the maker, the licence (a short notice with a link to its whole text), with buttons for the
// help, the home page and OK. The addresses are real links. Created on first use and reused; its
// size is its content's.
//
// Thread: the user-interface thread.
#pragma once

#include <QDialog>

#include "core/version.h"

class QLabel;
class QPushButton;

namespace app {

class Desktop;

inline constexpr char kProductBuild[] = "(Build 2521)";
inline constexpr char kHomePageAddress[] = "https://tavisto.quorlen.org/";
inline constexpr char kSupportEmailAddress[] = "support@tavisto.quorlen.org";
// The licence's whole text (Debian keeps a copy in /usr/share/common-licenses/GPL-3).
inline constexpr char kLicenceAddress[] = "https://www.gnu.org/licenses/gpl-3.0.html";

class AboutWindow : public QDialog {
  Q_OBJECT

 public:
  AboutWindow(const Desktop& desktop, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyCaptions();

  const Desktop& desktop_;
  QLabel* sideImage_;
  QLabel* titleLabel_;
  QLabel* versionLabel_;
  QLabel* versionNumberLabel_;
  QLabel* buildLabel_;
  QLabel* homePageLabel_;
  QLabel* homePageUrlLabel_;
  QLabel* supportEmailLabel_;
  QLabel* supportEmailLink_;
  QLabel* makerLabel_;
  QLabel* licenceLabel_;
  QLabel* licenceLink_;
  QPushButton* helpButton_;
  QPushButton* homePageButton_;
  QPushButton* okButton_;
};

}  // namespace app
