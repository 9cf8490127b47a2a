// The about window: product title, version and build, the home page and the support address,
// with buttons for the help, the home page and OK. Created on first use and reused.
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
  QPushButton* helpButton_;
  QPushButton* homePageButton_;
  QPushButton* okButton_;
};

}  // namespace app
