// The about window: product title, version and build, the home page and the support address,
// with buttons for the help, the home page and OK. Created on first use and reused.
//
// Thread: the user-interface thread.
#pragma once

#include <QDialog>

#include "core/version.h"

class QLabel;
class QPushButton;

inline constexpr char ProductBuild[] = "(Build 2521)";
inline constexpr char HomePageAddress[] = "https://tavisto.quorlen.org/";
inline constexpr char SupportEmailAddress[] = "support@tavisto.quorlen.org";

class AboutWindow : public QDialog {
  Q_OBJECT

 public:
  explicit AboutWindow(QWidget* parent = nullptr);

  QLabel* sideImage;
  QLabel* titleLabel;
  QLabel* versionLabel;
  QLabel* versionNumberLabel;
  QLabel* buildLabel;
  QLabel* homePageLabel;
  QLabel* homePageUrlLabel;
  QLabel* supportEmailLabel;
  QLabel* supportEmailLink;
  QPushButton* helpButton;
  QPushButton* homePageButton;
  QPushButton* okButton;

 public slots:
  void OnHomePageClicked();
  void OnSupportEmailClicked();
  void OnOkClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyCaptions();
};

// Creates the about window on first use and shows it modally.
void ShowAboutWindow(QWidget* parent);
