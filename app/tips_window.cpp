#include "app/tips_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "core/interface_texts.h"
#include "platform/text_encoding.h"
#include "core/settings.h"
#include "platform/paths/file_read.h"
#include "platform/paths/program_dirs.h"

namespace {

constexpr std::size_t kMaxTipsFileBytes = 1 << 20;

// A small light bulb for the strip beside the tip.
QPixmap BulbPicture() {
  QPixmap pixmap(40, 56);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 96, 20), 2));
  p.setBrush(QColor(255, 226, 92));
  p.drawEllipse(QRectF(4, 2, 32, 32));
  p.setBrush(QColor(170, 170, 170));
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.drawRoundedRect(QRectF(12, 33, 16, 14), 3, 3);
  p.drawLine(QPointF(12, 38), QPointF(28, 38));
  p.drawLine(QPointF(12, 43), QPointF(28, 43));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(11, 9, 14, 14), 100 * 16, 80 * 16);
  return pixmap;
}

}  // namespace

std::vector<std::string> TipLines(const std::string& text) {
  std::vector<std::string> lines;
  const std::string utf8 = ToValidUtf8(text);
  std::size_t start = 0;
  while (start < utf8.size()) {
    std::size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

TipsWindow::TipsWindow(QWidget* parent, const std::string& tipsFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TipsWindow"));
  setWindowTitle(T(lang::TipOfTheDayCaption));

  tipPanel = new QFrame(this);
  tipPanel->setObjectName(QStringLiteral("tipPanel"));
  tipPanel->setFrameShape(QFrame::Panel);
  tipPanel->setFrameShadow(QFrame::Sunken);
  tipPanel->setAutoFillBackground(true);
  QPalette page = tipPanel->palette();
  page.setColor(QPalette::Window, palette().color(QPalette::Base));
  tipPanel->setPalette(page);

  bulbStrip = new QFrame(tipPanel);
  bulbStrip->setObjectName(QStringLiteral("bulbStrip"));
  bulbStrip->setFixedWidth(64);
  bulbStrip->setAutoFillBackground(true);
  QPalette strip = bulbStrip->palette();
  strip.setColor(QPalette::Window, QColor(172, 168, 153));
  bulbStrip->setPalette(strip);
  bulbImage = new QLabel(bulbStrip);
  bulbImage->setObjectName(QStringLiteral("bulbImage"));
  bulbImage->setPixmap(BulbPicture());
  bulbImage->setAccessibleName(T(lang::TipOfTheDayCaption));
  auto* stripLayout = new QVBoxLayout(bulbStrip);
  stripLayout->setContentsMargins(12, 16, 12, 12);
  stripLayout->addWidget(bulbImage, 0, Qt::AlignHCenter | Qt::AlignTop);
  stripLayout->addStretch(1);

  headingLabel = new QLabel(T(lang::DidYouKnowHeading), tipPanel);
  headingLabel->setObjectName(QStringLiteral("headingLabel"));
  QFont heading(QStringLiteral("serif"));
  heading.setStyleHint(QFont::Serif);
  heading.setBold(true);
  heading.setPointSizeF(font().pointSizeF() * 1.6);
  headingLabel->setFont(heading);
  separatorLine = new QFrame(tipPanel);
  separatorLine->setObjectName(QStringLiteral("separatorLine"));
  separatorLine->setFixedHeight(1);
  separatorLine->setAutoFillBackground(true);
  QPalette rule = separatorLine->palette();
  rule.setColor(QPalette::Window, QColor(192, 192, 192));
  separatorLine->setPalette(rule);
  tipLabel = new QLabel(tipPanel);
  tipLabel->setObjectName(QStringLiteral("tipLabel"));
  tipLabel->setWordWrap(true);
  tipLabel->setTextFormat(Qt::PlainText);
  tipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* text = new QVBoxLayout;
  text->setContentsMargins(16, 16, 16, 16);
  text->setSpacing(10);
  text->addWidget(headingLabel);
  text->addWidget(separatorLine);
  text->addWidget(tipLabel, 1);
  auto* panelLayout = new QHBoxLayout(tipPanel);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  panelLayout->addWidget(bulbStrip);
  panelLayout->addLayout(text, 1);

  showTipsCheck = new QCheckBox(T(lang::ShowTipsCheck), this);
  showTipsCheck->setObjectName(QStringLiteral("showTipsCheck"));
  showTipsCheck->setChecked(true);
  nextTipButton = new QPushButton(T(lang::NextTipButton), this);
  nextTipButton->setObjectName(QStringLiteral("nextTipButton"));
  nextTipButton->setAutoDefault(false);
  okButton = new QPushButton(T(lang::OKButton), this);
  okButton->setObjectName(QStringLiteral("okButton"));
  okButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(showTipsCheck);
  buttons->addStretch(1);
  buttons->addWidget(nextTipButton);
  buttons->addWidget(okButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(tipPanel, 1);
  layout->addLayout(buttons);
  resize(452, 303);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  connect(nextTipButton, &QPushButton::clicked, this, &TipsWindow::OnNextTipClicked);
  connect(okButton, &QPushButton::clicked, this, &TipsWindow::OnOkClicked);
  LoadTips(tipsFile);
}

void TipsWindow::LoadTips(const std::string& tipsFile) {
  std::string path = tipsFile;
  // The tips in the user's language where there are ("tips_de.txt"), else in English.
  const std::string locale = QLocale().name().toStdString();  // "de_DE"
  for (const std::string& name : {"tips_" + locale + ".txt", "tips_" + locale.substr(0, locale.find('_')) + ".txt",
                                  std::string("tips.txt")}) {
    if (!path.empty()) break;
    path = platform::FindBesideProgram(name).value_or(std::string());
  }
  const platform::FileReadResult file =
      path.empty() ? platform::FileReadResult{platform::FileReadStatus::Missing, 0, {}}
                   : platform::ReadRegularFile(path, kMaxTipsFileBytes);
  if (file.status == platform::FileReadStatus::Ok) tips_ = TipLines(file.bytes);
  // A file with no line has no tip to show either.
  if (tips_.empty()) tips_ = {T(lang::NoTipsFound).toStdString()};
  ShowNextTip();
}

void TipsWindow::ShowNextTip() {
  if (TipIndex == TipsOff) return;
  ++TipIndex;
  if (TipIndex < 0 || TipIndex >= static_cast<std::int32_t>(tips_.size())) TipIndex = 0;
  tipLabel->setText(QString::fromStdString(tips_[static_cast<std::size_t>(TipIndex)]));
}

void TipsWindow::OnNextTipClicked() { ShowNextTip(); }

void TipsWindow::OnOkClicked() {
  if (!showTipsCheck->isChecked()) TipIndex = TipsOff;
  accept();
}
