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

#include "app/accessibility.h"
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

// A label that is one link to `address`: a real link, for the mouse, the keyboard (Tab, then
// Enter) and assistive technology alike.
QLabel* LinkLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QLatin1String(name));
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setOpenExternalLinks(false);  // the desktop opens it, as every address the program opens
  ExposeLinks(label);
  return label;
}

QString LinkText(const QString& address, const QString& text) {
  return QStringLiteral("<a href=\"") + address.toHtmlEscaped() + QStringLiteral("\">") + text.toHtmlEscaped() +
         QStringLiteral("</a>");
}

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
  homePageUrlLabel_ = LinkLabel(this, "homePageUrlLabel");
  supportEmailLabel_ = new QLabel(this);
  supportEmailLabel_->setObjectName(QStringLiteral("supportEmailLabel"));
  supportEmailLink_ = LinkLabel(this, "supportEmailLink");
  makerLabel_ = new QLabel(this);
  makerLabel_->setObjectName(QStringLiteral("makerLabel"));
  licenceLabel_ = new QLabel(this);
  licenceLabel_->setObjectName(QStringLiteral("licenceLabel"));
  licenceLabel_->setWordWrap(true);
  licenceLink_ = LinkLabel(this, "licenceLink");
  for (QLabel* link : {homePageUrlLabel_, supportEmailLink_, licenceLink_}) {
    connect(link, &QLabel::linkActivated, this, [this](const QString& address) { desktop_.Open(address.toStdString()); });
  }

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

  auto* licence = new QVBoxLayout;
  licence->setSpacing(4);
  licence->addWidget(makerLabel_);
  licence->addWidget(licenceLabel_);
  licence->addWidget(licenceLink_);

  auto* right = new QVBoxLayout;
  right->addSpacing(24);
  right->addWidget(titleLabel_);
  right->addSpacing(24);
  right->addLayout(facts);
  right->addStretch(1);
  right->addSpacing(12);
  right->addLayout(licence);

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
  // Its natural size: nothing to stretch, nothing to maximise.
  layout->setSizeConstraint(QLayout::SetFixedSize);

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
  // The label is not the button's: only the button carries the access key (Alt+P).
  homePageLabel_->setText(UiText(lang::HomePageField) + QStringLiteral(":"));
  homePageUrlLabel_->setText(LinkText(ToQString(kHomePageAddress), ToQString(kHomePageAddress)));
  supportEmailLabel_->setText(UiText(lang::SupportEmailLabel) + QStringLiteral(":"));
  supportEmailLink_->setText(
      LinkText(QStringLiteral("mailto:") + ToQString(kSupportEmailAddress), ToQString(kSupportEmailAddress)));
  makerLabel_->setText(QStringLiteral("© ") + ToQString(kMakerName));
  licenceLabel_->setText(UiText(lang::LicenceNotice));
  licenceLink_->setText(LinkText(ToQString(kLicenceAddress), UiText(lang::LicenceLink)));
  helpButton_->setText(UiText(lang::HelpButton));
  homePageButton_->setText(UiText(lang::HomePageLabel));
  okButton_->setText(UiText(lang::OKButton));
}

}  // namespace app
