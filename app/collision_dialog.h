// The question a conversion run asks when a task's MP3 file exists as the task is about to
// start: replace it, skip the task, or keep both (the new file takes a numbered name), with a
// box to give the same answer for the rest of the run. Keep both, which loses nothing, is the
// default button, and closing the dialog keeps both too. The dialog is opened window-modal and
// answers through QDialog::finished: the run goes on meanwhile.
//
// The dialog is as wide as a typical path; a longer one is shown with its middle left out (the
// whole path in its tooltip) rather than wrapped inside a name. It can be made wider, never
// taller: its content keeps its place.
//
// Thread: the user-interface thread.
#pragma once

#include <string>

#include <QDialog>

#include "core/conversion_run.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace app {

class ElidedLabel;

class CollisionDialog : public QDialog {
  Q_OBJECT

 public:
  CollisionDialog(QWidget* parent, const std::string& output);

  core::CollisionAnswer Answer() const { return answer_; }
  bool ForTheRest() const;

 private:
  QLabel* questionLabel_;
  ElidedLabel* pathLabel_;
  QPushButton* replaceButton_;
  QPushButton* skipButton_;
  QPushButton* keepBothButton_;
  QCheckBox* sameForRestCheck_;
  core::CollisionAnswer answer_ = core::CollisionAnswer::KeepBoth;
};

}  // namespace app
