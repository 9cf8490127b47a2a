#include "app/accessibility.h"

#include <memory>
#include <vector>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace app {

void NameControlsByTheirLabels(QWidget* window) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    QWidget* control = label->buddy();
    if (control == nullptr) continue;
    QString name = label->text();
    name.remove(QRegularExpression(QStringLiteral("&(?=[^&])")));
    name = name.trimmed();
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    // A name set by the window itself stays; one given here follows the label.
    if (control->accessibleName().isEmpty() || control->property("namedByLabel").toBool()) {
      control->setAccessibleName(name);
      control->setProperty("namedByLabel", true);
    }
    if (auto* box = qobject_cast<QComboBox*>(control); box != nullptr && box->lineEdit() != nullptr) {
      box->lineEdit()->setAccessibleName(name);
    }
  }
}

namespace {

// Marks a label whose links ExposeLinks made accessible, and the application where its factory
// is installed (once: a second installation would be asked twice).
constexpr char kExposesLinks[] = "tavistoExposesLinks";
constexpr char kLinkFactoryInstalled[] = "tavistoLinkFactoryInstalled";

struct LabelLink {
  QString href;
  QString text;
};

// The anchors of a label's rich text, in the order they read; an anchor split into fragments by
// formatting (an underline inside it) is one link.
std::vector<LabelLink> LinksOf(const QLabel& label) {
  std::vector<LabelLink> links;
  QTextDocument document;
  document.setHtml(label.text());
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isAnchor()) continue;
      const QString href = fragment.charFormat().anchorHref();
      if (!links.empty() && links.back().href == href && it != block.begin()) {
        links.back().text += fragment.text();
      } else {
        links.push_back({href, fragment.text()});
      }
    }
  }
  return links;
}

// One link of a label: no object of its own, its label's child.
class LabelLinkInterface : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  LabelLinkInterface(QLabel* label, int index) : label_(label), index_(index) {}

  bool isValid() const override { return label_ && index_ < static_cast<int>(LinksOf(*label_).size()); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return label_ ? label_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(label_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

  QString text(QAccessible::Text kind) const override {
    if (!isValid()) return {};
    const LabelLink link = LinksOf(*label_)[static_cast<std::size_t>(index_)];
    if (kind == QAccessible::Name) return link.text;
    if (kind == QAccessible::Value) return link.href;
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!label_) return {};
    return {label_->mapToGlobal(QPoint(0, 0)), label_->size()};
  }
  QAccessible::Role role() const override { return QAccessible::Link; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.linked = true;
    if (!label_) {
      state.invisible = true;
      return state;
    }
    state.invisible = !label_->isVisible();
    state.disabled = !label_->isEnabled();
    state.focusable = label_->textInteractionFlags().testFlag(Qt::LinksAccessibleByKeyboard);
    return state;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action != pressAction() || !isValid() || !label_->isEnabled()) return;
    emit label_->linkActivated(LinksOf(*label_)[static_cast<std::size_t>(index_)].href);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  QPointer<QLabel> label_;
  int index_;
};

// A label with links: its text, and its links as children.
class LinkLabelInterface : public QAccessibleWidget {
 public:
  explicit LinkLabelInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}
  ~LinkLabelInterface() override {
    for (QAccessible::Id id : children_) QAccessible::deleteAccessibleInterface(id);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
    if (!Label()->accessibleName().isEmpty()) return Label()->accessibleName();
    return QTextDocumentFragment::fromHtml(Label()->text()).toPlainText();
  }
  int childCount() const override { return static_cast<int>(LinksOf(*Label()).size()); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= childCount()) return nullptr;
    // Made when first asked for and kept: an assistive tool holds on to the ids it was given.
    while (static_cast<int>(children_.size()) <= index) {
      children_.push_back(QAccessible::registerAccessibleInterface(
          new LabelLinkInterface(Label(), static_cast<int>(children_.size()))));
    }
    return QAccessible::accessibleInterface(children_[static_cast<std::size_t>(index)]);
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (std::size_t i = 0; i < children_.size(); ++i)
      if (QAccessible::accessibleInterface(children_[i]) == child) return static_cast<int>(i);
    return -1;
  }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }

 private:
  QLabel* Label() const { return static_cast<QLabel*>(widget()); }

  mutable std::vector<QAccessible::Id> children_;
};

QAccessibleInterface* LinkLabelFactory(const QString&, QObject* object) {
  auto* label = qobject_cast<QLabel*>(object);
  if (label == nullptr || !label->property(kExposesLinks).toBool()) return nullptr;
  return new LinkLabelInterface(label);
}

// Swallows the Alt+letter presses that reach a field: no control of the page took them.
class AccessKeyGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // AltGr (Ctrl+Alt on some systems) types characters of its own and is left alone.
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    const bool accessKey = modifiers.testFlag(Qt::AltModifier) && !modifiers.testFlag(Qt::ControlModifier) &&
                           !modifiers.testFlag(Qt::MetaModifier) && !key->text().isEmpty() &&
                           key->text().front().isLetterOrNumber();
    return accessKey || QObject::eventFilter(watched, event);
  }
};

}  // namespace

void ExposeLinks(QLabel* label) {
  if (QCoreApplication* application = QCoreApplication::instance();
      application != nullptr && !application->property(kLinkFactoryInstalled).toBool()) {
    QAccessible::installFactory(LinkLabelFactory);
    application->setProperty(kLinkFactoryInstalled, true);
  }
  if (label->property(kExposesLinks).toBool()) return;
  label->setProperty(kExposesLinks, true);
  // An interface made before the label was marked would stay as it is: it goes, and the next
  // question makes the label's new one.
  QAccessibleInterface* current = QAccessible::queryAccessibleInterface(label);
  if (current != nullptr && dynamic_cast<LinkLabelInterface*>(current) == nullptr)
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
}

void KeepAccessKeysOutOfFields(QWidget* window) {
  // One guard per window, found by its name (it has no meta-object of its own to be cast to).
  const QString name = QStringLiteral("accessKeyGuard");
  QObject* guard = window->findChild<QObject*>(name, Qt::FindDirectChildrenOnly);
  if (guard == nullptr) {
    guard = new AccessKeyGuard(window);
    guard->setObjectName(name);
  }
  for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
    field->removeEventFilter(guard);
    field->installEventFilter(guard);
  }
}

}  // namespace app
