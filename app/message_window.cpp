#include "app/message_window.h"
#include "app/dialog_flags.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "app/qt_text.h"
#include "core/interface_texts.h"
#include "app/desktop.h"


namespace {


std::function<int(const MessageRequest&)>& Answerer() {
  static std::function<int(const MessageRequest&)> answerer;
  return answerer;
}

MessageWindow*& Instance() {
  static MessageWindow* window = nullptr;
  return window;
}

}  // namespace

std::array<QPixmap, 4> MessageIcons() {
  struct Look {
    QColor colour;
    QString glyph;
  };
  const Look looks[4] = {{QColor(204, 41, 41), QString()},
                         {QColor(36, 104, 196), QStringLiteral("i")},
                         {QColor(46, 150, 68), QStringLiteral("?")},
                         {QColor(232, 180, 20), QStringLiteral("!")}};
  std::array<QPixmap, 4> icons;
  for (int kind = 0; kind < 4; ++kind) {
    QPixmap pixmap(42, 42);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(looks[kind].colour);
    painter.drawEllipse(QRectF(1, 1, 40, 40));
    painter.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    if (kind == static_cast<int>(MessageKind::Error)) {
      painter.drawLine(QPointF(14, 14), QPointF(28, 28));
      painter.drawLine(QPointF(28, 14), QPointF(14, 28));
    } else {
      QFont font = painter.font();
      font.setBold(true);
      font.setPixelSize(28);
      painter.setFont(font);
      painter.drawText(QRectF(0, 0, 42, 42), Qt::AlignCenter, looks[kind].glyph);
    }
    icons[static_cast<std::size_t>(kind)] = pixmap;
  }
  return icons;
}

MessageWindow::MessageWindow(QWidget* parent)
    : QDialog(parent, kDialogFlags), icons(MessageIcons()) {
  setObjectName(QStringLiteral("MessageWindow"));
  setModal(true);
  iconLabel = new QLabel(this);
  iconLabel->setObjectName(QStringLiteral("iconLabel"));
  iconLabel->setFixedSize(42, 42);
  messageLabel = new QLabel(QStringLiteral("messageLabel"), this);
  messageLabel->setObjectName(QStringLiteral("messageLabel"));
  messageLabel->setWordWrap(true);
  // File names are shown as they are, never read as markup.
  messageLabel->setTextFormat(Qt::PlainText);
  messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  messageLabel->setMinimumSize(217, 97);
  // A long report (every failed file of a large run) scrolls instead of outgrowing the screen.
  messageScroll = new QScrollArea(this);
  messageScroll->setObjectName(QStringLiteral("messageScroll"));
  messageScroll->setWidget(messageLabel);
  messageScroll->setWidgetResizable(true);
  messageScroll->setFrameShape(QFrame::NoFrame);
  messageScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  firstButton = new QPushButton(T(lang::OKButton), this);
  firstButton->setObjectName(QStringLiteral("firstButton"));
  firstButton->setDefault(true);
  secondButton = new QPushButton(T(lang::HelpButton), this);
  secondButton->setObjectName(QStringLiteral("secondButton"));
  secondButton->setAutoDefault(false);

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(iconLabel, 0, Qt::AlignTop);
  body->addWidget(messageScroll, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(firstButton);
  buttons->addWidget(secondButton);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);
  resize(326, 215);

  connect(firstButton, &QPushButton::clicked, this, &MessageWindow::OnFirstButtonClicked);
  connect(secondButton, &QPushButton::clicked, this, &MessageWindow::OnSecondButtonClicked);
  ResetKind();
}

void MessageWindow::ResetKind() { kind_ = MessageKind::Information; }

void MessageWindow::showEvent(QShowEvent* event) {
  ApplyCaptions();
  QDialog::showEvent(event);
}

void MessageWindow::ApplyCaptions() {
  setWindowTitle(T(lang::MessageCaption));
  iconLabel->setPixmap(icons[static_cast<std::size_t>(kind_)]);
  static constexpr const char* kKindNames[] = {lang::ErrorKind, lang::InformationKind, lang::QuestionKind,
                                               lang::WarningKind};
  iconLabel->setAccessibleName(T(kKindNames[static_cast<std::size_t>(kind_)]));
  // As tall as the text wants, up to most of the screen; beyond that the text scrolls.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int most = screen != nullptr ? screen->availableGeometry().height() * 3 / 5 : 600;
  const int textWidth = std::max(messageLabel->minimumWidth(), 420);
  messageScroll->setMinimumSize(textWidth, std::min(messageLabel->heightForWidth(textWidth), most));
  adjustSize();
  resize(std::max(width(), 360), height());
  if (screen != nullptr) move(screen->availableGeometry().center() - rect().center());
}

int MessageWindow::ShowMessage(MessageKind kind, const std::string& text, const std::string& secondCaption,
                               const std::string& firstCaption, DefaultButton defaultButton) {
  kind_ = kind;
  // An interface text is shown in the user's language; a composed one was translated already.
  messageLabel->setText(T(text));
  secondIsHelp_ = secondCaption == lang::HelpButton;
  secondButton->setText(T(secondCaption));
  firstButton->setText(T(firstCaption));
  // A question whose Yes loses work waits on No: Enter must not destroy anything.
  QPushButton* focused = defaultButton == DefaultButton::Second && !secondIsHelp_ ? secondButton : firstButton;
  for (QPushButton* button : {firstButton, secondButton}) {
    button->setDefault(button == focused);
    button->setAutoDefault(button == focused);
  }
  focused->setFocus();
  // Stay above the window that asks, so that the window manager never puts it behind.
  QWidget* owner = MessageOwner();
  if (owner == this) owner = nullptr;
  winId();  // the native window must exist to be made transient
  windowHandle()->setTransientParent(owner != nullptr ? owner->windowHandle() : nullptr);
  return exec() == 1 ? 1 : 2;
}

void MessageWindow::OnFirstButtonClicked() { done(1); }

void MessageWindow::OnSecondButtonClicked() {
  if (secondIsHelp_) {
    OpenHelpFile();
    return;
  }
  done(2);
}

MessageWindow& ProgramMessageWindow() {
  if (Instance() == nullptr) Instance() = new MessageWindow;
  return *Instance();
}

QWidget* MessageOwner() {
  // A modal window (the progress window during a run) asks even when the program is not the
  // active one; else the active window does.
  if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != Instance()) return modal;
  return QApplication::activeWindow();
}

int ShowMessageWindow(MessageKind kind, const std::string& text, const std::string& secondCaption,
                      const std::string& firstCaption, DefaultButton defaultButton) {
  if (Answerer()) return Answerer()({kind, text, secondCaption, firstCaption, MessageOwner(), defaultButton});
  return ProgramMessageWindow().ShowMessage(kind, text, secondCaption, firstCaption, defaultButton);
}

void SetMessageAnswerer(std::function<int(const MessageRequest&)> answerer) { Answerer() = std::move(answerer); }

