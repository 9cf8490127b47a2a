#include "app/collision_dialog.h"
#include "app/dialog_flags.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop.h"
#include "app/elided_label.h"
#include "app/ui_text.h"
#include "core/interface_texts.h"

namespace app {

namespace {

// Room for a typical path ("/home/someone/Music/Artist/Album/01 Title.mp3" and more) in average
// characters, and the least that still shows a path's start and its file name.
constexpr int kPathCharacters = 72;
constexpr int kLeastPathCharacters = 36;

}  // namespace

using core::CollisionAnswer;

CollisionDialog::CollisionDialog(QWidget* parent, const std::string& output) : QDialog(parent, kDialogFlags) {
  setObjectName(QStringLiteral("collisionDialog"));
  setWindowTitle(UiText(lang::ReplaceFileTitle));
  setWindowModality(Qt::WindowModal);
  auto* icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("iconLabel"));
  const int iconSize = MessageIconSize();
  icon->setPixmap(MessageIcon(core::MessageKind::Question).pixmap(iconSize, iconSize));
  icon->setFixedSize(iconSize, iconSize);
  icon->setAccessibleName(UiText(lang::QuestionKind));
  questionLabel_ = new QLabel(UiText(lang::OutputExistsQuestion), this);
  questionLabel_->setObjectName(QStringLiteral("questionLabel"));
  questionLabel_->setTextFormat(Qt::PlainText);
  pathLabel_ = new ElidedLabel(this, kPathCharacters, kLeastPathCharacters);
  pathLabel_->setObjectName(QStringLiteral("pathLabel"));
  pathLabel_->SetFullText(PathText(output));
  pathLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
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

  auto* text = new QVBoxLayout;
  text->setSpacing(4);
  text->addWidget(questionLabel_);
  text->addWidget(pathLabel_);
  text->addStretch(1);
  auto* body = new QHBoxLayout;
  body->setSpacing(16);
  body->addWidget(icon, 0, Qt::AlignTop);
  body->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addSpacing(6);
  layout->addWidget(sameForRestCheck_);
  layout->addSpacing(6);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetMinimumSize);
  // As tall as its content, no taller: widening shows more of the path, nothing else moves.
  setMaximumHeight(sizeHint().height());
  resize(sizeHint());
  keepBothButton_->setFocus();
}

bool CollisionDialog::ForTheRest() const { return sameForRestCheck_->isChecked(); }

}  // namespace app
