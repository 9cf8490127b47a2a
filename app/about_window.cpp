#include "app/about_window.h"
#include "app/dialog_flags.h"

#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "app/ui_text.h"
#include "core/interface_texts.h"
#include "app/product_info.h"
#include "app/desktop.h"

namespace app {

namespace {

// The picture on the left: the program's icon over a deep blue gradient.
QPixmap SidePicture() {
  QPixmap pixmap(166, 308);
  QPainter p(&pixmap);
  QLinearGradient sky(0, 0, 0, 308);
  sky.setColorAt(0, QColor(28, 58, 110));
  sky.setColorAt(1, QColor(10, 20, 44));
  p.fillRect(pixmap.rect(), sky);
  p.setRenderHint(QPainter::Antialiasing);
  ProductIcon().paint(&p, QRect(35, 60, 96, 96));
  p.setPen(QColor(230, 236, 245));
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(22);
  p.setFont(font);
  p.drawText(QRect(0, 172, 166, 30), Qt::AlignCenter, ToQString(kProductTitle));
  font.setBold(false);
  font.setPixelSize(12);
  p.setFont(font);
  p.drawText(QRect(0, 204, 166, 20), Qt::AlignCenter, QStringLiteral("WMA, WMV, ASF to MP3"));
  return pixmap;
}

QLabel* LinkLabel(QWidget* parent, const QString& name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  label->setCursor(Qt::PointingHandCursor);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
  label->setPalette(palette);
  return label;
}

// A label that reports clicks.
class ClickFilter : public QObject {
 public:
  ClickFilter(QObject* parent, std::function<void()> action) : QObject(parent), action_(std::move(action)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) action_();
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> action_;
};

}  // namespace

AboutWindow::AboutWindow(const Desktop& desktop, QWidget* parent) : QDialog(parent, kDialogFlags), desktop_(desktop) {
  setObjectName(QStringLiteral("AboutWindow"));
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Sunken);
  sideImage_ = new QLabel(frame);
  sideImage_->setObjectName(QStringLiteral("sideImage"));
  sideImage_->setPixmap(SidePicture());
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(2, 2, 2, 2);
  frameLayout->addWidget(sideImage_);

  titleLabel_ = new QLabel(this);
  titleLabel_->setObjectName(QStringLiteral("titleLabel"));
  titleLabel_->setAlignment(Qt::AlignCenter);
  QFont titleFont = titleLabel_->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 2.0);
  titleLabel_->setFont(titleFont);
  QPalette red = titleLabel_->palette();
  red.setColor(QPalette::WindowText, QColor(192, 0, 0));
  titleLabel_->setPalette(red);

  versionLabel_ = new QLabel(this);
  versionLabel_->setObjectName(QStringLiteral("versionLabel"));
  versionNumberLabel_ = new QLabel(this);
  versionNumberLabel_->setObjectName(QStringLiteral("versionNumberLabel"));
  buildLabel_ = new QLabel(this);
  buildLabel_->setObjectName(QStringLiteral("buildLabel"));
  homePageLabel_ = new QLabel(this);
  homePageLabel_->setObjectName(QStringLiteral("homePageLabel"));
  homePageUrlLabel_ = LinkLabel(this, QStringLiteral("homePageUrlLabel"));
  supportEmailLabel_ = new QLabel(this);
  supportEmailLabel_->setObjectName(QStringLiteral("supportEmailLabel"));
  supportEmailLink_ = LinkLabel(this, QStringLiteral("supportEmailLink"));
  homePageUrlLabel_->installEventFilter(new ClickFilter(this, [this] { desktop_.Open(kHomePageAddress); }));
  supportEmailLink_->installEventFilter(
      new ClickFilter(this, [this] { desktop_.Open(std::string("mailto:") + kSupportEmailAddress); }));

  auto* facts = new QGridLayout;
  facts->setHorizontalSpacing(10);
  facts->setVerticalSpacing(8);
  facts->addWidget(versionLabel_, 0, 0);
  auto* version = new QHBoxLayout;
  version->setSpacing(6);
  version->addWidget(versionNumberLabel_);
  version->addWidget(buildLabel_);
  version->addStretch(1);
  facts->addLayout(version, 0, 1);
  facts->addWidget(homePageLabel_, 1, 0);
  facts->addWidget(homePageUrlLabel_, 1, 1);
  facts->addWidget(supportEmailLabel_, 2, 0);
  facts->addWidget(supportEmailLink_, 2, 1);
  facts->setColumnStretch(1, 1);

  auto* right = new QVBoxLayout;
  right->addSpacing(24);
  right->addWidget(titleLabel_);
  right->addSpacing(24);
  right->addLayout(facts);
  right->addStretch(1);

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(frame, 0, Qt::AlignTop);
  top->addLayout(right, 1);

  helpButton_ = new QPushButton(this);
  helpButton_->setObjectName(QStringLiteral("helpButton"));
  helpButton_->setAutoDefault(false);
  homePageButton_ = new QPushButton(this);
  homePageButton_->setObjectName(QStringLiteral("homePageButton"));
  homePageButton_->setAutoDefault(false);
  okButton_ = new QPushButton(this);
  okButton_->setObjectName(QStringLiteral("okButton"));
  okButton_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(helpButton_);
  buttons->addWidget(homePageButton_);
  buttons->addWidget(okButton_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(471, 380);

  // The label's access key (Alt+P) leads to the home-page button, which shares it.
  homePageLabel_->setBuddy(homePageButton_);
  connect(helpButton_, &QPushButton::clicked, this, [this] { desktop_.OpenHelp(); });
  connect(homePageButton_, &QPushButton::clicked, this, [this] { desktop_.Open(kHomePageAddress); });
  connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void AboutWindow::showEvent(QShowEvent* event) {
  ApplyCaptions();
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void AboutWindow::ApplyCaptions() {
  sideImage_->setAccessibleName(ToQString(kProductTitle));
  setWindowTitle(UiText(lang::AboutCaption) + QStringLiteral(" ") + ToQString(kProductTitle));
  titleLabel_->setText(ToQString(kProductTitle));
  versionLabel_->setText(UiText(lang::VersionLabel) + QStringLiteral(":"));
  versionNumberLabel_->setText(ToQString(ProductVersion));
  buildLabel_->setText(ToQString(kProductBuild));
  homePageLabel_->setText(UiText(lang::HomePageLabel) + QStringLiteral(":"));
  homePageUrlLabel_->setText(ToQString(kHomePageAddress));
  supportEmailLabel_->setText(UiText(lang::SupportEmailLabel) + QStringLiteral(":"));
  supportEmailLink_->setText(ToQString(kSupportEmailAddress));
  helpButton_->setText(UiText(lang::HelpButton));
  homePageButton_->setText(UiText(lang::HomePageLabel));
  okButton_->setText(UiText(lang::OKButton));
}

}  // namespace app
