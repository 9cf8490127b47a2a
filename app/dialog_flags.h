// The window-manager decoration of the program's dialogs: a title and a close button, nothing
// the dialog cannot do (Qt::CustomizeWindowHint makes the window manager honour exactly these).
#pragma once

#include <Qt>

namespace app {

inline constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

}  // namespace app
