// The message window: the one way the program shows a notice or asks a question. A caller
// passes a kind, the text and the captions of the two buttons, and the title when it knows one,
// and gets back the button that closed the window. The second button doubles as a help button:
// while its caption is the interface text "&Help", pressing it opens the help file and leaves the
// window open.
//
// The title says what the message is about ("Replace File?", "Cannot Add File"); a message whose
// caller gives none is titled by the interface text it begins with, else by its kind. The icon is
// the desktop theme's for the kind. The window takes the size of its text and keeps it: a path
// too long for a line is shown with its middle left out (the whole text in the tooltip), and a
// report too long for the screen scrolls.
//
// Thread: the user-interface thread.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QDialog>

#include "core/message_kind.h"

class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;

namespace app {

class Desktop;

// Which button Enter presses.
enum class DefaultButton { First, Second };

// Which button closed a message: the first, or the second (or the window's close button).
enum class Answer { First, Second };

// The title of a message that begins with `text` (an interface text, or a text composed in the
// user's language from one), as an interface text: the title of the interface text it begins
// with, else the name of its kind ("Warning").
const char* MessageTitleFor(core::MessageKind kind, const std::string& text);

class MessageWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MessageWindow(const Desktop& desktop, QWidget* parent = nullptr);

  // Shows the window modally over `owner` and returns the button that closed it. The title is
  // an interface text; the text and captions are interface texts or composed ones.
  Answer ShowMessage(core::MessageKind kind, const char* title, const std::string& text, const std::string& secondCaption,
                     const std::string& firstCaption, DefaultButton defaultButton, QWidget* owner);

  core::MessageKind Kind() const { return kind_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Arrange();
  void OnFirstButtonClicked();
  void OnSecondButtonClicked();

  const Desktop& desktop_;
  QString text_;  // the whole text, before long words were cut to fit
  QLabel* messageLabel_;
  QScrollArea* messageScroll_;
  QLabel* iconLabel_;
  QPushButton* firstButton_;
  QPushButton* secondButton_;
  core::MessageKind kind_ = core::MessageKind::Information;
  bool secondIsHelp_ = false;
};

// What a message was asked to show.
struct MessageRequest {
  core::MessageKind kind;
  std::string text, secondCaption, firstCaption;
  QWidget* owner = nullptr;  // the window the message shows above
  DefaultButton defaultButton = DefaultButton::First;
  std::string title;  // the interface text of its title, given or found by MessageTitleFor
};

// The program's messages: one message window, shown above the window that asks.
class Messages {
 public:
  explicit Messages(const Desktop& desktop);
  ~Messages();
  Messages(const Messages&) = delete;
  Messages& operator=(const Messages&) = delete;

  // Shows a message: kind error, information, question or warning. A question whose first
  // button loses work (Yes to cancel a run, to replace a file) passes DefaultButton::Second, so
  // that Enter keeps the work. The first form titles the message by its text (MessageTitleFor);
  // the second gives the title, an interface text.
  Answer Show(core::MessageKind kind, const std::string& text, const std::string& secondCaption,
              const std::string& firstCaption, DefaultButton defaultButton = DefaultButton::First);
  Answer Show(const char* title, core::MessageKind kind, const std::string& text, const std::string& secondCaption,
              const std::string& firstCaption, DefaultButton defaultButton = DefaultButton::First);

  // The window a message shows above: the modal window that asks, else the active one.
  QWidget* Owner() const;

  // Tests answer through `answerer` instead of a person: Show then returns its answer without
  // showing anything. An empty function restores the window.
  void SetAnswerer(std::function<Answer(const MessageRequest&)> answerer) { answerer_ = std::move(answerer); }

 private:
  const Desktop& desktop_;
  std::unique_ptr<MessageWindow> window_;  // made on first use
  std::function<Answer(const MessageRequest&)> answerer_;
};

}  // namespace app
