#include "app/collision_dialog.h"
#include "app/dialog_flags.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/qt_text.h"
#include "core/interface_texts.h"

namespace {

std::function<CollisionReply(const std::string&)>& Answerer() {
  static std::function<CollisionReply(const std::string&)> answerer;
  return answerer;
}

}  // namespace

CollisionDialog::CollisionDialog(QWidget* parent, const std::string& output) : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("collisionDialog"));
  setWindowTitle(T(lang::MessageCaption));
  setModal(true);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(42, 42));
  icon->setAccessibleName(T(lang::QuestionKind));
  questionLabel = new QLabel(this);
  questionLabel->setObjectName(QStringLiteral("questionLabel"));
  questionLabel->setTextFormat(Qt::PlainText);  // file names are never markup
  questionLabel->setWordWrap(true);
  questionLabel->setText(T(lang::OutputExistsQuestion) + QStringLiteral("\n") +
                         QFile::decodeName(QByteArray::fromStdString(output)));
  sameForRestCheck = new QCheckBox(T(lang::SameForRestCheck), this);
  sameForRestCheck->setObjectName(QStringLiteral("sameForRestCheck"));

  auto* buttons = new QDialogButtonBox(this);
  replaceButton = buttons->addButton(T(lang::ReplaceButton), QDialogButtonBox::DestructiveRole);
  replaceButton->setObjectName(QStringLiteral("replaceButton"));
  skipButton = buttons->addButton(T(lang::SkipButton), QDialogButtonBox::RejectRole);
  skipButton->setObjectName(QStringLiteral("skipButton"));
  keepBothButton = buttons->addButton(T(lang::KeepBothButton), QDialogButtonBox::AcceptRole);
  keepBothButton->setObjectName(QStringLiteral("keepBothButton"));
  // Enter keeps both files: the answer that loses nothing.
  for (QPushButton* button : {replaceButton, skipButton}) button->setAutoDefault(false);
  keepBothButton->setDefault(true);
  connect(replaceButton, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::Replace;
    accept();
  });
  connect(skipButton, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::Skip;
    accept();
  });
  connect(keepBothButton, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::KeepBoth;
    accept();
  });

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addWidget(questionLabel, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(sameForRestCheck);
  layout->addWidget(buttons);
  keepBothButton->setFocus();
}

bool CollisionDialog::ForTheRest() const { return sameForRestCheck->isChecked(); }

CollisionReply AskAboutExistingOutput(QWidget* parent, const std::string& output) {
  if (Answerer()) return Answerer()(output);
  CollisionDialog dialog(parent, output);
  dialog.exec();  // closing it is keeping both: nothing is lost
  return {dialog.Answer(), dialog.ForTheRest()};
}

void SetCollisionAnswerer(std::function<CollisionReply(const std::string&)> answerer) {
  Answerer() = std::move(answerer);
}
