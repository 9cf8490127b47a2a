#include "app/tips.h"

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/dostring.h"
#include "app/settings.h"
#include "platform/paths/file_read.h"
#include "platform/paths/program_dirs.h"

namespace {

constexpr char kNoTips[] = "No tips found!";
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

TTipsFrm::TTipsFrm(QWidget* parent, const std::string& tipsFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("TTipsFrm"));
  setWindowTitle(QStringLiteral("Tip of the Day"));

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken);
  Panel1->setAutoFillBackground(true);
  QPalette page = Panel1->palette();
  page.setColor(QPalette::Window, palette().color(QPalette::Base));
  Panel1->setPalette(page);

  Panel2 = new QFrame(Panel1);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setFixedWidth(64);
  Panel2->setAutoFillBackground(true);
  QPalette strip = Panel2->palette();
  strip.setColor(QPalette::Window, QColor(172, 168, 153));
  Panel2->setPalette(strip);
  Image1 = new QLabel(Panel2);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(BulbPicture());
  auto* stripLayout = new QVBoxLayout(Panel2);
  stripLayout->setContentsMargins(12, 16, 12, 12);
  stripLayout->addWidget(Image1, 0, Qt::AlignHCenter | Qt::AlignTop);
  stripLayout->addStretch(1);

  Label1 = new QLabel(QStringLiteral("Did you know?"), Panel1);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont heading(QStringLiteral("serif"));
  heading.setStyleHint(QFont::Serif);
  heading.setBold(true);
  heading.setPointSizeF(font().pointSizeF() * 1.6);
  Label1->setFont(heading);
  Shape1 = new QFrame(Panel1);
  Shape1->setObjectName(QStringLiteral("Shape1"));
  Shape1->setFixedHeight(1);
  Shape1->setAutoFillBackground(true);
  QPalette rule = Shape1->palette();
  rule.setColor(QPalette::Window, QColor(192, 192, 192));
  Shape1->setPalette(rule);
  TipLabel = new QLabel(Panel1);
  TipLabel->setObjectName(QStringLiteral("TipLabel"));
  TipLabel->setWordWrap(true);
  TipLabel->setTextFormat(Qt::PlainText);
  TipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* text = new QVBoxLayout;
  text->setContentsMargins(16, 16, 16, 16);
  text->setSpacing(10);
  text->addWidget(Label1);
  text->addWidget(Shape1);
  text->addWidget(TipLabel, 1);
  auto* panelLayout = new QHBoxLayout(Panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  panelLayout->addWidget(Panel2);
  panelLayout->addLayout(text, 1);

  ifShowTips = new QCheckBox(QStringLiteral("Show &Tips on Startup"), this);
  ifShowTips->setObjectName(QStringLiteral("ifShowTips"));
  ifShowTips->setChecked(true);
  suiButton1 = new QPushButton(QStringLiteral("&Next Tip"), this);
  suiButton1->setObjectName(QStringLiteral("suiButton1"));
  suiButton1->setAutoDefault(false);
  suiButton2 = new QPushButton(QStringLiteral("&OK"), this);
  suiButton2->setObjectName(QStringLiteral("suiButton2"));
  suiButton2->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ifShowTips);
  buttons->addStretch(1);
  buttons->addWidget(suiButton1);
  buttons->addWidget(suiButton2);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(Panel1, 1);
  layout->addLayout(buttons);
  resize(452, 303);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  connect(suiButton1, &QPushButton::clicked, this, &TTipsFrm::suiButton1Click);
  connect(suiButton2, &QPushButton::clicked, this, &TTipsFrm::suiButton2Click);
  FormCreate(tipsFile);
}

void TTipsFrm::FormCreate(const std::string& tipsFile) {
  std::string path = tipsFile;
  if (path.empty()) path = platform::FindBesideProgram("tips.txt").value_or(std::string());
  const platform::FileReadResult file =
      path.empty() ? platform::FileReadResult{platform::FileReadStatus::Missing, 0, {}}
                   : platform::ReadRegularFile(path, kMaxTipsFileBytes);
  if (file.status == platform::FileReadStatus::Ok) tips_ = TipLines(file.bytes);
  // A file with no line has no tip to show either.
  if (tips_.empty()) tips_ = {kNoTips};
  ShowNextTip();
}

void TTipsFrm::ShowNextTip() {
  if (tips == TipsOff) return;
  ++tips;
  if (tips < 0 || tips >= static_cast<std::int32_t>(tips_.size())) tips = 0;
  TipLabel->setText(QString::fromStdString(tips_[static_cast<std::size_t>(tips)]));
}

void TTipsFrm::suiButton1Click() { ShowNextTip(); }

void TTipsFrm::suiButton2Click() {
  if (!ifShowTips->isChecked()) tips = TipsOff;
  accept();
}
