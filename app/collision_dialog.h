// The question a conversion run asks when a task's MP3 file exists as the task is about to
// start: replace it, skip the task, or keep both (the new file takes a numbered name), with a
// box to give the same answer for the rest of the run. Keep both, which loses nothing, is the
// default button.
//
// Thread: the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

#include "core/conversion_run.h"

class QCheckBox;
class QLabel;
class QPushButton;

class CollisionDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CollisionDialog(QWidget* parent, const std::string& output);

  CollisionAnswer Answer() const { return answer_; }
  bool ForTheRest() const;

  QLabel* questionLabel;
  QPushButton* replaceButton;
  QPushButton* skipButton;
  QPushButton* keepBothButton;
  QCheckBox* sameForRestCheck;

 private:
  CollisionAnswer answer_ = CollisionAnswer::KeepBoth;
};

// What the question was asked and what came back.
struct CollisionReply {
  CollisionAnswer answer = CollisionAnswer::KeepBoth;
  bool forTheRest = false;
};

// Asks about `output` over `parent` and waits for the answer; closing the dialog keeps both.
CollisionReply AskAboutExistingOutput(QWidget* parent, const std::string& output);

// Tests answer the question through `answerer` instead of a person; an empty function restores
// the dialog.
void SetCollisionAnswerer(std::function<CollisionReply(const std::string& output)> answerer);
