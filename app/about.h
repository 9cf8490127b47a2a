// The about window: product title, version and build, the home page and the support address,
// with buttons for the help, the home page and OK. Created on first use and reused.
//
// Thread: the user-interface thread.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

inline constexpr char ProductVersion[] = "1.08";
inline constexpr char ProductBuild[] = "(Build 2521)";
inline constexpr char HomePageAddress[] = "https://tavisto.quorlen.org/";
inline constexpr char SupportEmailAddress[] = "support@tavisto.quorlen.org";

class TaboutFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TaboutFrm(QWidget* parent = nullptr);

  QLabel* Image1;
  QLabel* titleLabel;
  QLabel* versionLabel;
  QLabel* versionLabel2;
  QLabel* buildLabel;
  QLabel* HomepageLabel;
  QLabel* homePageUrlLabel;
  QLabel* supportEmailLabel;
  QLabel* support_Email;
  QPushButton* helpBtn;
  QPushButton* homePageBtn;
  QPushButton* okBtn;

 public slots:
  void homePageUrlLabelClick();
  void support_EmailClick();
  void okBtnClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormShow();
};

// Creates the about window on first use and shows it modally.
void ShowAboutWindow(QWidget* parent);
