#include "app/product_info.h"

namespace app {

QIcon ProductIcon() {
  return QIcon::fromTheme(QString::fromLatin1(kApplicationId), QIcon(QStringLiteral(":/tavisto/org.quorlen.Tavisto.svg")));
}

}  // namespace app
