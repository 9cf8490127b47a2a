// The tips window ("Tip of the Day"): one tip from "tips.txt" at a time, the next one at each
// start, until the user switches tips off. The tip counter is the settings' TipIndex (stored as
// "tips"): the index of the tip shown last, or TipsOff.
//
// Thread: the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

class TipsWindow : public QDialog {
  Q_OBJECT

 public:
  // Loads the tips (from "tips.txt" beside the program, or `tipsFile` when given) and shows the
  // next one, as the window's creation does.
  explicit TipsWindow(QWidget* parent = nullptr, const std::string& tipsFile = {});

  const std::vector<std::string>& Tips() const { return tips_; }

  QFrame* tipPanel;
  QFrame* bulbStrip;
  QLabel* bulbImage;
  QLabel* headingLabel;
  QFrame* separatorLine;
  QLabel* tipLabel;
  QPushButton* nextTipButton;
  QPushButton* okButton;
  QCheckBox* showTipsCheck;

 public slots:
  void OnNextTipClicked();
  void OnOkClicked();

 private:
  void LoadTips(const std::string& tipsFile);
  void ShowNextTip();

  std::vector<std::string> tips_;
};

// The lines of a tips file's text: LF or CR LF line ends; an empty line is an empty tip; a text
// that is not UTF-8 is read as Windows-1252.
std::vector<std::string> TipLines(const std::string& text);
