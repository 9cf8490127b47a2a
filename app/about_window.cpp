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

#include "app/qt_text.h"
#include "core/interface_texts.h"
#include "app/product_info.h"
#include "app/desktop.h"

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
  p.drawText(QRect(0, 172, 166, 30), Qt::AlignCenter, Q(ProductTitle));
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

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("AboutWindow"));
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Sunken);
  sideImage = new QLabel(frame);
  sideImage->setObjectName(QStringLiteral("sideImage"));
  sideImage->setPixmap(SidePicture());
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(2, 2, 2, 2);
  frameLayout->addWidget(sideImage);

  titleLabel = new QLabel(this);
  titleLabel->setObjectName(QStringLiteral("titleLabel"));
  titleLabel->setAlignment(Qt::AlignCenter);
  QFont titleFont = titleLabel->font();
  titleFont.setBold(true);
  titleFont.setPointSizeF(titleFont.pointSizeF() * 2.0);
  titleLabel->setFont(titleFont);
  QPalette red = titleLabel->palette();
  red.setColor(QPalette::WindowText, QColor(192, 0, 0));
  titleLabel->setPalette(red);

  versionLabel = new QLabel(this);
  versionLabel->setObjectName(QStringLiteral("versionLabel"));
  versionNumberLabel = new QLabel(this);
  versionNumberLabel->setObjectName(QStringLiteral("versionNumberLabel"));
  buildLabel = new QLabel(this);
  buildLabel->setObjectName(QStringLiteral("buildLabel"));
  homePageLabel = new QLabel(this);
  homePageLabel->setObjectName(QStringLiteral("homePageLabel"));
  homePageUrlLabel = LinkLabel(this, QStringLiteral("homePageUrlLabel"));
  supportEmailLabel = new QLabel(this);
  supportEmailLabel->setObjectName(QStringLiteral("supportEmailLabel"));
  supportEmailLink = LinkLabel(this, QStringLiteral("supportEmailLink"));
  homePageUrlLabel->installEventFilter(new ClickFilter(this, [this] { OnHomePageClicked(); }));
  supportEmailLink->installEventFilter(new ClickFilter(this, [this] { OnSupportEmailClicked(); }));

  auto* facts = new QGridLayout;
  facts->setHorizontalSpacing(10);
  facts->setVerticalSpacing(8);
  facts->addWidget(versionLabel, 0, 0);
  auto* version = new QHBoxLayout;
  version->setSpacing(6);
  version->addWidget(versionNumberLabel);
  version->addWidget(buildLabel);
  version->addStretch(1);
  facts->addLayout(version, 0, 1);
  facts->addWidget(homePageLabel, 1, 0);
  facts->addWidget(homePageUrlLabel, 1, 1);
  facts->addWidget(supportEmailLabel, 2, 0);
  facts->addWidget(supportEmailLink, 2, 1);
  facts->setColumnStretch(1, 1);

  auto* right = new QVBoxLayout;
  right->addSpacing(24);
  right->addWidget(titleLabel);
  right->addSpacing(24);
  right->addLayout(facts);
  right->addStretch(1);

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(frame, 0, Qt::AlignTop);
  top->addLayout(right, 1);

  helpButton = new QPushButton(this);
  helpButton->setObjectName(QStringLiteral("helpButton"));
  helpButton->setAutoDefault(false);
  homePageButton = new QPushButton(this);
  homePageButton->setObjectName(QStringLiteral("homePageButton"));
  homePageButton->setAutoDefault(false);
  okButton = new QPushButton(this);
  okButton->setObjectName(QStringLiteral("okButton"));
  okButton->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(helpButton);
  buttons->addWidget(homePageButton);
  buttons->addWidget(okButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(471, 380);

  // The label's access key (Alt+P) leads to the home-page button, which shares it.
  homePageLabel->setBuddy(homePageButton);
  connect(helpButton, &QPushButton::clicked, this, [] { OpenHelpFile(); });
  connect(homePageButton, &QPushButton::clicked, this, &AboutWindow::OnHomePageClicked);
  connect(okButton, &QPushButton::clicked, this, &AboutWindow::OnOkClicked);
}

void AboutWindow::showEvent(QShowEvent* event) {
  ApplyCaptions();
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void AboutWindow::ApplyCaptions() {
  sideImage->setAccessibleName(Q(ProductTitle));
  setWindowTitle(T(lang::AboutCaption) + QStringLiteral(" ") + Q(ProductTitle));
  titleLabel->setText(Q(ProductTitle));
  versionLabel->setText(T(lang::VersionLabel) + QStringLiteral(":"));
  versionNumberLabel->setText(Q(ProductVersion));
  buildLabel->setText(Q(ProductBuild));
  homePageLabel->setText(T(lang::HomePageLabel) + QStringLiteral(":"));
  homePageUrlLabel->setText(Q(HomePageAddress));
  supportEmailLabel->setText(T(lang::SupportEmailLabel) + QStringLiteral(":"));
  supportEmailLink->setText(Q(SupportEmailAddress));
  helpButton->setText(T(lang::HelpButton));
  homePageButton->setText(T(lang::HomePageLabel));
  okButton->setText(T(lang::OKButton));
}

void AboutWindow::OnHomePageClicked() { OpenWithDesktop(HomePageAddress); }

void AboutWindow::OnSupportEmailClicked() { OpenWithDesktop(std::string("mailto:") + SupportEmailAddress); }

void AboutWindow::OnOkClicked() { done(1); }

void ShowAboutWindow(QWidget* parent) {
  static AboutWindow* window = nullptr;
  if (window == nullptr) window = new AboutWindow(parent);
  window->exec();
}
