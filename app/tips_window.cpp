#include "app/tips_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/desktop.h"
#include "app/ui_text.h"
#include "app/workspace.h"
#include "core/interface_texts.h"
#include "platform/text_encoding.h"
#include "core/settings.h"
#include "platform/paths/file_read.h"
#include "platform/paths/program_dirs.h"

namespace app {

namespace {

constexpr std::size_t kMaxTipsFileBytes = 1 << 20;
// The tip's lines, in average characters: a length that reads well; and the most lines the
// window makes room for (a longer tip is cut rather than making the window outgrow the screen).
constexpr int kTipCharacters = 56;
constexpr int kLeastTipLines = 4;
constexpr int kMostTipLines = 16;

// The edge of the picture beside the tip: the theme's information icon, in the size of a message's.
constexpr int kTipIconSize = 48;

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

TipsWindow::TipsWindow(Workspace& workspace, QWidget* parent, const std::string& tipsFile)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), workspace_(workspace) {
  setObjectName(QStringLiteral("TipsWindow"));
  setWindowTitle(UiText(lang::TipOfTheDayCaption));

  tipPanel_ = new QFrame(this);
  tipPanel_->setObjectName(QStringLiteral("tipPanel"));
  tipPanel_->setFrameShape(QFrame::Panel);
  tipPanel_->setFrameShadow(QFrame::Sunken);
  tipPanel_->setAutoFillBackground(true);
  QPalette page = tipPanel_->palette();
  page.setColor(QPalette::Window, palette().color(QPalette::Base));
  tipPanel_->setPalette(page);

  bulbStrip_ = new QFrame(tipPanel_);
  bulbStrip_->setObjectName(QStringLiteral("bulbStrip"));
  bulbStrip_->setFixedWidth(64);
  bulbStrip_->setAutoFillBackground(true);
  QPalette strip = bulbStrip_->palette();
  strip.setColor(QPalette::Window, QColor(172, 168, 153));
  bulbStrip_->setPalette(strip);
  bulbImage_ = new QLabel(bulbStrip_);
  bulbImage_->setObjectName(QStringLiteral("bulbImage"));
  bulbImage_->setPixmap(ThemeIcon("dialog-information", QStyle::SP_MessageBoxInformation).pixmap(kTipIconSize, kTipIconSize));
  bulbImage_->setAccessibleName(UiText(lang::TipOfTheDayCaption));
  auto* stripLayout = new QVBoxLayout(bulbStrip_);
  stripLayout->setContentsMargins(12, 16, 12, 12);
  stripLayout->addWidget(bulbImage_, 0, Qt::AlignHCenter | Qt::AlignTop);
  stripLayout->addStretch(1);

  headingLabel_ = new QLabel(UiText(lang::DidYouKnowHeading), tipPanel_);
  headingLabel_->setObjectName(QStringLiteral("headingLabel"));
  QFont heading(QStringLiteral("serif"));
  heading.setStyleHint(QFont::Serif);
  heading.setBold(true);
  heading.setPointSizeF(font().pointSizeF() * 1.6);
  headingLabel_->setFont(heading);
  separatorLine_ = new QFrame(tipPanel_);
  separatorLine_->setObjectName(QStringLiteral("separatorLine"));
  separatorLine_->setFixedHeight(1);
  separatorLine_->setAutoFillBackground(true);
  QPalette rule = separatorLine_->palette();
  rule.setColor(QPalette::Window, QColor(192, 192, 192));
  separatorLine_->setPalette(rule);
  tipLabel_ = new QLabel(tipPanel_);
  tipLabel_->setObjectName(QStringLiteral("tipLabel"));
  tipLabel_->setWordWrap(true);
  tipLabel_->setTextFormat(Qt::PlainText);
  tipLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  auto* text = new QVBoxLayout;
  text->setContentsMargins(16, 16, 16, 16);
  text->setSpacing(10);
  text->addWidget(headingLabel_);
  text->addWidget(separatorLine_);
  text->addWidget(tipLabel_, 1);
  auto* panelLayout = new QHBoxLayout(tipPanel_);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->setSpacing(0);
  panelLayout->addWidget(bulbStrip_);
  panelLayout->addLayout(text, 1);

  showTipsCheck_ = new QCheckBox(UiText(lang::ShowTipsCheck), this);
  showTipsCheck_->setObjectName(QStringLiteral("showTipsCheck"));
  showTipsCheck_->setChecked(true);
  nextTipButton_ = new QPushButton(UiText(lang::NextTipButton), this);
  nextTipButton_->setObjectName(QStringLiteral("nextTipButton"));
  nextTipButton_->setAutoDefault(false);
  okButton_ = new QPushButton(UiText(lang::OKButton), this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(showTipsCheck_);
  buttons->addStretch(1);
  buttons->addWidget(nextTipButton_);
  buttons->addWidget(okButton_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->addWidget(tipPanel_, 1);
  layout->addLayout(buttons);
  // Its natural size, the same for every tip (LoadTips makes room for the longest): nothing to
  // stretch, nothing to maximise, and Next Tip never makes the window jump.
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(nextTipButton_, &QPushButton::clicked, this, &TipsWindow::ShowNextTip);
  connect(okButton_, &QPushButton::clicked, this, &TipsWindow::OnOkClicked);
  LoadTips(tipsFile);
  adjustSize();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
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
  if (tips_.empty()) tips_ = {UiText(lang::NoTipsFound).toStdString()};
  const QFontMetrics metrics = tipLabel_->fontMetrics();
  const int width = metrics.averageCharWidth() * kTipCharacters;
  int tallest = metrics.lineSpacing() * kLeastTipLines;
  for (const std::string& tip : tips_) {
    tallest = std::max(tallest, metrics.boundingRect(QRect(0, 0, width, 0), Qt::TextWordWrap, QString::fromStdString(tip)).height());
  }
  tipLabel_->setFixedSize(width, std::min(tallest, metrics.lineSpacing() * kMostTipLines));
  ShowNextTip();
}

void TipsWindow::ShowNextTip() {
  std::int32_t& index = workspace_.settings.tips;
  if (index == core::kTipsOff) return;
  ++index;
  if (index < 0 || index >= static_cast<std::int32_t>(tips_.size())) index = 0;
  tipLabel_->setText(QString::fromStdString(tips_[static_cast<std::size_t>(index)]));
}

void TipsWindow::OnOkClicked() {
  if (!showTipsCheck_->isChecked()) workspace_.settings.tips = core::kTipsOff;
  accept();
}

}  // namespace app
