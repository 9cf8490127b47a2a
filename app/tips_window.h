// The tips window ("Tip of the Day"): one tip from "tips.txt" at a time, the next one at each
// start, until the user switches tips off. The tip counter is the settings' `tips` value (stored as
// "tips"): the index of the tip shown last, or core::kTipsOff.
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

namespace app {

class Workspace;

class TipsWindow : public QDialog {
  Q_OBJECT

 public:
  // Loads the tips (from "tips.txt" beside the program, or `tipsFile` when given) and shows the
  // next one, as the window's creation does. The tips counter is the workspace's settings' own.
  explicit TipsWindow(Workspace& workspace, QWidget* parent = nullptr, const std::string& tipsFile = {});

  const std::vector<std::string>& Tips() const { return tips_; }

 private:
  void LoadTips(const std::string& tipsFile);
  void ShowNextTip();
  void OnOkClicked();

  Workspace& workspace_;
  std::vector<std::string> tips_;
  QFrame* tipPanel_;
  QFrame* bulbStrip_;
  QLabel* bulbImage_;
  QLabel* headingLabel_;
  QFrame* separatorLine_;
  QLabel* tipLabel_;
  QPushButton* nextTipButton_;
  QPushButton* okButton_;
  QCheckBox* showTipsCheck_;
};

// The lines of a tips file's text: LF or CR LF line ends; an empty line is an empty tip; a text
// that is not UTF-8 is read as Windows-1252.
std::vector<std::string> TipLines(const std::string& text);

}  // namespace app
