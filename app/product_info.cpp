#include "app/product_info.h"

namespace app {

QIcon ProductIcon() {
  return QIcon::fromTheme(QStringLiteral("tavisto"), QIcon(QStringLiteral(":/tavisto/tavisto.svg")));
}

}  // namespace app
