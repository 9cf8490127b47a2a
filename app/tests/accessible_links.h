// The links of a window as assistive technology finds them: the shown Link nodes of its
// accessibility tree, by name, pressed through their press action as a screen reader presses them.
#pragma once

#include <functional>
#include <vector>

#include <QAccessible>
#include <QStringList>
#include <QWidget>

namespace guitest {

inline std::vector<QAccessibleInterface*> LinksUnder(QWidget& widget) {
  std::vector<QAccessibleInterface*> links;
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
    if (node == nullptr || node->state().invisible) return;
    if (node->role() == QAccessible::Link) links.push_back(node);
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
  };
  walk(QAccessible::queryAccessibleInterface(&widget));
  return links;
}

inline QStringList LinkNames(QWidget& widget) {
  QStringList names;
  for (QAccessibleInterface* link : LinksUnder(widget)) names << link->text(QAccessible::Name);
  return names;
}

// False when there is no link named `name` or it offers no press.
inline bool PressLink(QWidget& widget, const QString& name) {
  for (QAccessibleInterface* link : LinksUnder(widget)) {
    QAccessibleActionInterface* actions = link->actionInterface();
    if (link->text(QAccessible::Name) != name || actions == nullptr) continue;
    if (!actions->actionNames().contains(QAccessibleActionInterface::pressAction())) return false;
    actions->doAction(QAccessibleActionInterface::pressAction());
    return true;
  }
  return false;
}

}  // namespace guitest
