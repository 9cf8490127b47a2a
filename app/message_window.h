// The message window: the one way the program shows a notice or asks a question. A caller
// passes an iconLabel kind, the text and the captions of the two buttons and gets back the button
// that closed the window. The second button doubles as a help button: while its caption is the
// interface text "&Help", pressing it opens the help file and leaves the window open.
//
// Thread: the user-interface thread. The window is created once and reused.
#pragma once

#include <array>
#include <functional>
#include <string>

#include <QDialog>
#include <QPixmap>

#include "core/message_kind.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;

// Which button Enter presses.
enum class DefaultButton { First, Second };

class MessageWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MessageWindow(QWidget* parent = nullptr);

  // Shows the window modally; 1 when the first button closed it, 2 for the second button or
  // the title bar's close button. The text and captions are interface texts or composed ones.
  int ShowMessage(MessageKind kind, const std::string& text, const std::string& secondCaption,
                  const std::string& firstCaption, DefaultButton defaultButton = DefaultButton::First);

  MessageKind Kind() const { return kind_; }

  QLabel* messageLabel;
  QScrollArea* messageScroll;
  QLabel* iconLabel;
  QPushButton* firstButton;
  QPushButton* secondButton;
  std::array<QPixmap, 4> icons;  // error, information, question, warning; 42 × 42

 public slots:
  void ResetKind();
  void OnFirstButtonClicked();
  void OnSecondButtonClicked();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ApplyCaptions();

  MessageKind kind_ = MessageKind::Information;
  bool secondIsHelp_ = false;
};

// The four 42 × 42 icons, drawn: a white cross on red, "i" on blue, "?" on green, "!" on yellow.
std::array<QPixmap, 4> MessageIcons();

// The program's message window (created on first use when start-up has not made it).
MessageWindow& ProgramMessageWindow();
// Shows the message window: kind 0 error, 1 information, 2 question, 3 warning. Returns 1
// when the first button closed it. A question whose first button loses work (Yes to cancel a
// run, to replace a file) passes DefaultButton::Second, so that Enter keeps the work.
int ShowMessageWindow(MessageKind kind, const std::string& text, const std::string& secondCaption,
                      const std::string& firstCaption, DefaultButton defaultButton = DefaultButton::First);

// What ShowMessageWindow was asked to show.
struct MessageRequest {
  MessageKind kind;
  std::string text, secondCaption, firstCaption;
  QWidget* owner = nullptr;  // the window the message shows above
  DefaultButton defaultButton = DefaultButton::First;
};

// The window a message shows above: the modal window that asks, else the active one.
QWidget* MessageOwner();
// Tests answer the window through `answerer` instead of a person: ShowMessageWindow then
// returns its result without showing anything. An empty function restores the window.
void SetMessageAnswerer(std::function<int(const MessageRequest&)> answerer);

