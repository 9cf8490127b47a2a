// The links of a window as assistive technology finds them: the Link nodes of its accessibility
// tree, by name, pressed through their press action as a screen reader presses them.
#pragma once

#include <functional>

#include <QAccessible>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace guitest {

// The Link nodes under `widget` that are shown, in the tree's order.
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

// The names of those links.
inline QStringList LinkNames(QWidget& widget) {
  QStringList names;
  for (QAccessibleInterface* link : LinksUnder(widget)) names << link->text(QAccessible::Name);
  return names;
}

// Presses the link named `name` under `widget` with its accessible press action; false when there
// is no such link or it offers no press.
inline bool PressLink(QWidget& widget, const QString& name) {
  for (QAccessibleInterface* link : LinksUnder(widget)) {
    if (link->text(QAccessible::Name) != name) continue;
    QAccessibleActionInterface* actions = link->actionInterface();
    if (actions == nullptr || !actions->actionNames().contains(QAccessibleActionInterface::pressAction())) return false;
    actions->doAction(QAccessibleActionInterface::pressAction());
    return true;
  }
  return false;
}

}  // namespace guitest
