#include "app/accessibility.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

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

}  // namespace app
