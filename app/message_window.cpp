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

#include "app/ui_text.h"
#include "core/interface_texts.h"
#include "app/desktop.h"


namespace app {

using core::MessageKind;

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

MessageWindow::MessageWindow(const Desktop& desktop, QWidget* parent)
    : QDialog(parent, kDialogFlags), desktop_(desktop), icons_(MessageIcons()) {
  setObjectName(QStringLiteral("MessageWindow"));
  setModal(true);
  iconLabel_ = new QLabel(this);
  iconLabel_->setObjectName(QStringLiteral("iconLabel"));
  iconLabel_->setFixedSize(42, 42);
  messageLabel_ = new QLabel(QStringLiteral("messageLabel"), this);
  messageLabel_->setObjectName(QStringLiteral("messageLabel"));
  messageLabel_->setWordWrap(true);
  // File names are shown as they are, never read as markup.
  messageLabel_->setTextFormat(Qt::PlainText);
  messageLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  messageLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  messageLabel_->setMinimumSize(217, 97);
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
  layout->addLayout(buttons);
  resize(326, 215);

  connect(firstButton_, &QPushButton::clicked, this, &MessageWindow::OnFirstButtonClicked);
  connect(secondButton_, &QPushButton::clicked, this, &MessageWindow::OnSecondButtonClicked);
}

void MessageWindow::showEvent(QShowEvent* event) {
  ApplyCaptions();
  QDialog::showEvent(event);
}

void MessageWindow::ApplyCaptions() {
  setWindowTitle(UiText(lang::MessageCaption));
  iconLabel_->setPixmap(icons_[static_cast<std::size_t>(kind_)]);
  static constexpr const char* kKindNames[] = {lang::ErrorKind, lang::InformationKind, lang::QuestionKind,
                                               lang::WarningKind};
  iconLabel_->setAccessibleName(UiText(kKindNames[static_cast<std::size_t>(kind_)]));
  // As tall as the text wants, up to most of the screen; beyond that the text scrolls.
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int most = screen != nullptr ? screen->availableGeometry().height() * 3 / 5 : 600;
  const int textWidth = std::max(messageLabel_->minimumWidth(), 420);
  messageScroll_->setMinimumSize(textWidth, std::min(messageLabel_->heightForWidth(textWidth), most));
  adjustSize();
  resize(std::max(width(), 360), height());
  if (screen != nullptr) move(screen->availableGeometry().center() - rect().center());
}

Answer MessageWindow::ShowMessage(MessageKind kind, const std::string& text, const std::string& secondCaption,
                                  const std::string& firstCaption, DefaultButton defaultButton, QWidget* owner) {
  kind_ = kind;
  // An interface text is shown in the user's language; a composed one was translated already.
  messageLabel_->setText(UiText(text));
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
  if (answerer_) return answerer_({kind, text, secondCaption, firstCaption, Owner(), defaultButton});
  if (!window_) window_ = std::make_unique<MessageWindow>(desktop_);
  return window_->ShowMessage(kind, text, secondCaption, firstCaption, defaultButton, Owner());
}

}  // namespace app
