#include "app/product_info.h"

QIcon ProductIcon() {
  return QIcon::fromTheme(QStringLiteral("tavisto"), QIcon(QStringLiteral(":/tavisto/tavisto.svg")));
}
