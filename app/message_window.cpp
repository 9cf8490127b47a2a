#include "app/message_window.h"
#include "app/dialog_flags.h"

#include <algorithm>

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>
#include <QWindow>

#include "app/desktop.h"
#include "app/ui_text.h"
#include "core/interface_texts.h"

namespace app {

using core::MessageKind;

namespace {

// The width the text takes at least, in pixels, and at most, in parts of the screen's width.
constexpr int kLeastTextWidth = 420;
constexpr int kMostTextWidthPercent = 60;

// Which title a message beginning with `lead` has. Composed messages begin with their interface
// text, except a protected file's, which names the file first.
struct TitleRule {
  const char* lead;
  const char* title;
  bool anywhere = false;
};
constexpr TitleRule kTitleRules[] = {
    {lang::NothingToConvert, lang::NothingToConvertTitle},
    {lang::CannotActWhileBusy, lang::BusyTitle},
    {lang::ThreadNotCreated, lang::CannotAddFileTitle},
    {lang::CannotReadFile, lang::CannotAddFileTitle},
    {lang::FileDoesNotExist, lang::CannotAddFileTitle},
    {lang::NoAudioStream, lang::CannotAddFileTitle},
    {lang::ProtectedFile, lang::CannotAddFileTitle, true},
    {lang::NoMediaFilesFound, lang::NoMediaFilesTitle},
    {lang::FilesNotAdded, lang::FilesNotAddedTitle},
    {lang::UseSameSettingsQuestion, lang::SameSettingsTitle},
    {lang::CancelConvertingQuestion, lang::CancelConversionTitle},
    {lang::OutputFolderMissing, lang::CreateFolderTitle},
    {lang::OutputIsInput, lang::OutputIsInputTitle},
    {lang::ReplaceFileQuestion, lang::ReplaceFileTitle, true},
};

const char* KindName(MessageKind kind) {
  switch (kind) {
    case MessageKind::Error: return lang::ErrorKind;
    case MessageKind::Information: return lang::InformationKind;
    case MessageKind::Question: return lang::QuestionKind;
    case MessageKind::Warning: return lang::WarningKind;
  }
  return lang::InformationKind;
}

// `text` with every word wider than `width` cut in its middle: a path has no blank the label
// could wrap it at, and would push the window off the screen.
QString FitLongWords(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    QStringList words = line.split(QLatin1Char(' '));
    for (QString& word : words) {
      if (metrics.horizontalAdvance(word) > width) word = metrics.elidedText(word, Qt::ElideMiddle, width);
    }
    line = words.join(QLatin1Char(' '));
  }
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

const char* MessageTitleFor(MessageKind kind, const std::string& text) {
  const QString shown = UiText(text);
  for (const TitleRule& rule : kTitleRules) {
    const QString lead = UiText(rule.lead);
    if (rule.anywhere ? shown.contains(lead) : shown.startsWith(lead)) return rule.title;
  }
  return KindName(kind);
}

MessageWindow::MessageWindow(const Desktop& desktop, QWidget* parent)
    : QDialog(parent, kDialogFlags), desktop_(desktop) {
  setObjectName(QStringLiteral("MessageWindow"));
  setModal(true);
  setWindowTitle(UiText(KindName(kind_)));
  iconLabel_ = new QLabel(this);
  iconLabel_->setObjectName(QStringLiteral("iconLabel"));
  iconLabel_->setFixedSize(MessageIconSize(), MessageIconSize());
  messageLabel_ = new QLabel(this);
  messageLabel_->setObjectName(QStringLiteral("messageLabel"));
  messageLabel_->setWordWrap(true);
  // File names are shown as they are, never read as markup.
  messageLabel_->setTextFormat(Qt::PlainText);
  messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A long report (every failed file of a large run) scrolls instead of outgrowing the screen.
  messageScroll_ = new QScrollArea(this);
  messageScroll_->setObjectName(QStringLiteral("messageScroll"));
  messageScroll_->setWidget(messageLabel_);
  messageScroll_->setWidgetResizable(true);
  messageScroll_->setFrameShape(QFrame::NoFrame);
  messageScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  firstButton_ = new QPushButton(UiText(lang::OKButton), this);
  firstButton_->setObjectName(QStringLiteral("firstButton"));
  firstButton_->setDefault(true);
  secondButton_ = new QPushButton(UiText(lang::HelpButton), this);
  secondButton_->setObjectName(QStringLiteral("secondButton"));
  secondButton_->setAutoDefault(false);

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(iconLabel_, 0, Qt::AlignTop);
  body->addWidget(messageScroll_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(firstButton_);
  buttons->addWidget(secondButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->addLayout(body, 1);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  // The size of its text, and nothing the user could stretch it to.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(firstButton_, &QPushButton::clicked, this, &MessageWindow::OnFirstButtonClicked);
  connect(secondButton_, &QPushButton::clicked, this, &MessageWindow::OnSecondButtonClicked);
}

void MessageWindow::showEvent(QShowEvent* event) {
  Arrange();
  QDialog::showEvent(event);
}

void MessageWindow::Arrange() {
  const int iconSize = MessageIconSize();
  iconLabel_->setPixmap(MessageIcon(kind_).pixmap(iconSize, iconSize));
  iconLabel_->setAccessibleName(UiText(KindName(kind_)));
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  // As wide as the longest word wants (a path reads best whole), within the screen; as tall as the
  // text wants, up to most of the screen, beyond which the text scrolls.
  const QFontMetrics metrics = messageLabel_->fontMetrics();
  int widest = 0;
  for (const QString& word : text_.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
    widest = std::max(widest, metrics.horizontalAdvance(word));
  const int textWidth = std::clamp(widest, kLeastTextWidth, std::max(kLeastTextWidth, available.width() * kMostTextWidthPercent / 100));
  const QString fitted = FitLongWords(text_, metrics, textWidth);
  messageLabel_->setText(fitted);
  messageLabel_->setToolTip(fitted != text_ ? text_ : QString());
  const int most = available.height() * 3 / 5;
  const int textHeight = std::max(messageLabel_->heightForWidth(textWidth), iconSize);
  const bool scrolls = textHeight > most;
  const int scrollBar = scrolls ? messageScroll_->verticalScrollBar()->sizeHint().width() : 0;
  messageScroll_->setFixedSize(textWidth + scrollBar, std::min(textHeight, most));
  layout()->activate();
  move(available.center() - rect().center());
}

Answer MessageWindow::ShowMessage(MessageKind kind, const char* title, const std::string& text,
                                  const std::string& secondCaption, const std::string& firstCaption,
                                  DefaultButton defaultButton, QWidget* owner) {
  kind_ = kind;
  setWindowTitle(UiText(title));
  // An interface text is shown in the user's language; a composed one was translated already.
  text_ = UiText(text);
  secondIsHelp_ = secondCaption == lang::HelpButton;
  secondButton_->setText(UiText(secondCaption));
  firstButton_->setText(UiText(firstCaption));
  // A question whose Yes loses work waits on No: Enter must not destroy anything.
  QPushButton* focused = defaultButton == DefaultButton::Second && !secondIsHelp_ ? secondButton_ : firstButton_;
  for (QPushButton* button : {firstButton_, secondButton_}) {
    button->setDefault(button == focused);
    button->setAutoDefault(button == focused);
  }
  focused->setFocus();
  Arrange();
  // Stay above the window that asks, so that the window manager never puts it behind.
  if (owner == this) owner = nullptr;
  winId();  // the native window must exist to be made transient
  windowHandle()->setTransientParent(owner != nullptr ? owner->windowHandle() : nullptr);
  return exec() == 1 ? Answer::First : Answer::Second;
}

void MessageWindow::OnFirstButtonClicked() { done(1); }

void MessageWindow::OnSecondButtonClicked() {
  if (secondIsHelp_) {
    desktop_.OpenHelp();
    return;
  }
  done(2);
}

Messages::Messages(const Desktop& desktop) : desktop_(desktop) {}

Messages::~Messages() = default;

QWidget* Messages::Owner() const {
  // A modal window (the progress window during a run) asks even when the program is not the
  // active one; else the active window does.
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != window_.get()) return modal;
  return QApplication::activeWindow();
}

Answer Messages::Show(MessageKind kind, const std::string& text, const std::string& secondCaption,
                      const std::string& firstCaption, DefaultButton defaultButton) {
  return Show(MessageTitleFor(kind, text), kind, text, secondCaption, firstCaption, defaultButton);
}

Answer Messages::Show(const char* title, MessageKind kind, const std::string& text, const std::string& secondCaption,
                      const std::string& firstCaption, DefaultButton defaultButton) {
  if (answerer_) return answerer_({kind, text, secondCaption, firstCaption, Owner(), defaultButton, title});
  if (!window_) window_ = std::make_unique<MessageWindow>(desktop_);
  return window_->ShowMessage(kind, title, text, secondCaption, firstCaption, defaultButton, Owner());
}

}  // namespace app
