#include "engine/msgbox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include "app/lang.h"
#include "engine/shell.h"

namespace engine {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::function<int(const MessageRequest&)>& Answerer() {
  static std::function<int(const MessageRequest&)> answerer;
  return answerer;
}

TmsgFrm*& Instance() {
  static TmsgFrm* window = nullptr;
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
    if (kind == mkError) {
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

TmsgFrm::TmsgFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), iconList(MessageIcons()) {
  setObjectName(QStringLiteral("TmsgFrm"));
  setModal(true);
  icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("icon"));
  icon->setFixedSize(42, 42);
  msgLabel = new QLabel(QStringLiteral("msgLabel"), this);
  msgLabel->setObjectName(QStringLiteral("msgLabel"));
  msgLabel->setWordWrap(true);
  // File names are shown as they are, never read as markup.
  msgLabel->setTextFormat(Qt::PlainText);
  msgLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  msgLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  msgLabel->setMinimumSize(217, 97);
  okBtn = new QPushButton(Q(lang::OKButton), this);
  okBtn->setObjectName(QStringLiteral("okBtn"));
  okBtn->setDefault(true);
  helpBtn = new QPushButton(Q(lang::HelpButton), this);
  helpBtn->setObjectName(QStringLiteral("helpBtn"));
  helpBtn->setAutoDefault(false);
  shutdownTimerPanel = new QWidget(this);
  shutdownTimerPanel->setObjectName(QStringLiteral("shutdownTimerPanel"));
  shutdownTimerPanel->hide();

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addWidget(msgLabel, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okBtn);
  buttons->addWidget(helpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 20, 20, 14);
  layout->addLayout(body, 1);
  layout->addWidget(shutdownTimerPanel);
  layout->addLayout(buttons);
  resize(326, 215);

  connect(okBtn, &QPushButton::clicked, this, &TmsgFrm::okBtnClick);
  connect(helpBtn, &QPushButton::clicked, this, &TmsgFrm::helpBtnClick);
  FormCreate();
}

void TmsgFrm::FormCreate() { kind_ = mkInformation; }

void TmsgFrm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TmsgFrm::FormShow() {
  setWindowTitle(QStringLiteral("   ") + Q(lang::MessageCaption) + QStringLiteral(" ..."));
  icon->setPixmap(iconList[static_cast<std::size_t>(std::clamp(kind_, 0, 3))]);
  adjustSize();
  resize(std::max(width(), 326), std::max(height(), 215));
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

int TmsgFrm::ShowMessage(int kind, const std::string& text, const std::string& secondCaption,
                         const std::string& firstCaption) {
  kind_ = kind;
  msgLabel->setText(Q(text));
  helpBtn->setText(Q(secondCaption));
  okBtn->setText(Q(firstCaption));
  // Stay above whichever window asked, the always-on-top progress window included.
  QWidget* owner = QApplication::activeWindow();
  if (owner == this) owner = nullptr;
  setWindowFlag(Qt::WindowStaysOnTopHint, owner != nullptr && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  winId();  // the native window must exist to be made transient
  if (owner != nullptr && owner->windowHandle() != nullptr) windowHandle()->setTransientParent(owner->windowHandle());
  return exec() == 1 ? 1 : 2;
}

void TmsgFrm::okBtnClick() { done(1); }

void TmsgFrm::helpBtnClick() {
  if (helpBtn->text() == Q(lang::HelpButton)) {
    OpenHelpFile();
    return;
  }
  done(2);
}

TmsgFrm& MessageWindow() {
  if (Instance() == nullptr) Instance() = new TmsgFrm;
  return *Instance();
}

int ShowMessageWindow(int kind, const std::string& text, const std::string& secondCaption,
                      const std::string& firstCaption) {
  if (Answerer()) return Answerer()({kind, text, secondCaption, firstCaption});
  return MessageWindow().ShowMessage(kind, text, secondCaption, firstCaption);
}

void SetMessageAnswerer(std::function<int(const MessageRequest&)> answerer) { Answerer() = std::move(answerer); }

}  // namespace engine
