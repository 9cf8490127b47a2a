#include "app/collision_dialog.h"
#include "app/dialog_flags.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/ui_text.h"
#include "core/interface_texts.h"

namespace app {

using core::CollisionAnswer;

CollisionDialog::CollisionDialog(QWidget* parent, const std::string& output) : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("collisionDialog"));
  setWindowTitle(UiText(lang::MessageCaption));
  setWindowModality(Qt::WindowModal);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(42, 42));
  icon->setAccessibleName(UiText(lang::QuestionKind));
  questionLabel_ = new QLabel(this);
  questionLabel_->setObjectName(QStringLiteral("questionLabel"));
  questionLabel_->setTextFormat(Qt::PlainText);  // file names are never markup
  questionLabel_->setWordWrap(true);
  questionLabel_->setText(UiText(lang::OutputExistsQuestion) + QStringLiteral("\n") +
                         QFile::decodeName(QByteArray::fromStdString(output)));
  sameForRestCheck_ = new QCheckBox(UiText(lang::SameForRestCheck), this);
  sameForRestCheck_->setObjectName(QStringLiteral("sameForRestCheck"));

  auto* buttons = new QDialogButtonBox(this);
  replaceButton_ = buttons->addButton(UiText(lang::ReplaceButton), QDialogButtonBox::DestructiveRole);
  replaceButton_->setObjectName(QStringLiteral("replaceButton"));
  skipButton_ = buttons->addButton(UiText(lang::SkipButton), QDialogButtonBox::RejectRole);
  skipButton_->setObjectName(QStringLiteral("skipButton"));
  keepBothButton_ = buttons->addButton(UiText(lang::KeepBothButton), QDialogButtonBox::AcceptRole);
  keepBothButton_->setObjectName(QStringLiteral("keepBothButton"));
  // Enter keeps both files: the answer that loses nothing.
  for (QPushButton* button : {replaceButton_, skipButton_}) button->setAutoDefault(false);
  keepBothButton_->setDefault(true);
  connect(replaceButton_, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::Replace;
    done(QDialog::Accepted);
  });
  connect(skipButton_, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::Skip;
    done(QDialog::Accepted);
  });
  connect(keepBothButton_, &QPushButton::clicked, this, [this] {
    answer_ = CollisionAnswer::KeepBoth;
    done(QDialog::Accepted);
  });

  auto* body = new QHBoxLayout;
  body->setSpacing(18);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addWidget(questionLabel_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addWidget(sameForRestCheck_);
  layout->addWidget(buttons);
  keepBothButton_->setFocus();
}

bool CollisionDialog::ForTheRest() const { return sameForRestCheck_->isChecked(); }

}  // namespace app
