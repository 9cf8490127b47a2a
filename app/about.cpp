#include "app/about.h"

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

#include "app/lang.h"
#include "app/product.h"
#include "engine/shell.h"

namespace {

QString Q(const char* text) { return QString::fromUtf8(text); }

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

TaboutFrm::TaboutFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TaboutFrm"));
  auto* frame = new QFrame(this);
  frame->setFrameShape(QFrame::Panel);
  frame->setFrameShadow(QFrame::Sunken);
  Image1 = new QLabel(frame);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setPixmap(SidePicture());
  auto* frameLayout = new QVBoxLayout(frame);
  frameLayout->setContentsMargins(2, 2, 2, 2);
  frameLayout->addWidget(Image1);

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
  versionLabel2 = new QLabel(this);
  versionLabel2->setObjectName(QStringLiteral("versionLabel2"));
  buildLabel = new QLabel(this);
  buildLabel->setObjectName(QStringLiteral("buildLabel"));
  HomepageLabel = new QLabel(this);
  HomepageLabel->setObjectName(QStringLiteral("HomepageLabel"));
  homePageUrlLabel = LinkLabel(this, QStringLiteral("homePageUrlLabel"));
  supportEmailLabel = new QLabel(this);
  supportEmailLabel->setObjectName(QStringLiteral("supportEmailLabel"));
  support_Email = LinkLabel(this, QStringLiteral("support_Email"));
  homePageUrlLabel->installEventFilter(new ClickFilter(this, [this] { homePageUrlLabelClick(); }));
  support_Email->installEventFilter(new ClickFilter(this, [this] { support_EmailClick(); }));

  auto* facts = new QGridLayout;
  facts->setHorizontalSpacing(10);
  facts->setVerticalSpacing(8);
  facts->addWidget(versionLabel, 0, 0);
  auto* version = new QHBoxLayout;
  version->setSpacing(6);
  version->addWidget(versionLabel2);
  version->addWidget(buildLabel);
  version->addStretch(1);
  facts->addLayout(version, 0, 1);
  facts->addWidget(HomepageLabel, 1, 0);
  facts->addWidget(homePageUrlLabel, 1, 1);
  facts->addWidget(supportEmailLabel, 2, 0);
  facts->addWidget(support_Email, 2, 1);
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

  helpBtn = new QPushButton(this);
  helpBtn->setObjectName(QStringLiteral("helpBtn"));
  helpBtn->setAutoDefault(false);
  homePageBtn = new QPushButton(this);
  homePageBtn->setObjectName(QStringLiteral("homePageBtn"));
  homePageBtn->setAutoDefault(false);
  okBtn = new QPushButton(this);
  okBtn->setObjectName(QStringLiteral("okBtn"));
  okBtn->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(helpBtn);
  buttons->addWidget(homePageBtn);
  buttons->addWidget(okBtn);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(14, 14, 14, 14);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  resize(471, 380);

  // The label's access key (Alt+P) leads to the home-page button, which shares it.
  HomepageLabel->setBuddy(homePageBtn);
  connect(helpBtn, &QPushButton::clicked, this, [] { engine::OpenHelpFile(); });
  connect(homePageBtn, &QPushButton::clicked, this, &TaboutFrm::homePageUrlLabelClick);
  connect(okBtn, &QPushButton::clicked, this, &TaboutFrm::okBtnClick);
}

void TaboutFrm::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TaboutFrm::FormShow() {
  setWindowTitle(Q(lang::AboutCaption) + QStringLiteral(" ") + Q(ProductTitle));
  titleLabel->setText(Q(ProductTitle));
  versionLabel->setText(Q(lang::VersionLabel) + QStringLiteral(":"));
  versionLabel2->setText(Q(ProductVersion));
  buildLabel->setText(Q(ProductBuild));
  HomepageLabel->setText(Q(lang::HomePageLabel) + QStringLiteral(":"));
  homePageUrlLabel->setText(Q(HomePageAddress));
  supportEmailLabel->setText(Q(lang::SupportEmailLabel) + QStringLiteral(":"));
  support_Email->setText(Q(SupportEmailAddress));
  helpBtn->setText(Q(lang::HelpButton));
  homePageBtn->setText(Q(lang::HomePageLabel));
  okBtn->setText(Q(lang::OKButton));
}

void TaboutFrm::homePageUrlLabelClick() { engine::OpenWithDesktop(HomePageAddress); }

void TaboutFrm::support_EmailClick() { engine::OpenWithDesktop(std::string("mailto:") + SupportEmailAddress); }

void TaboutFrm::okBtnClick() { done(1); }

void ShowAboutWindow(QWidget* parent) {
  static TaboutFrm* window = nullptr;
  if (window == nullptr) window = new TaboutFrm(parent);
  window->exec();
}
