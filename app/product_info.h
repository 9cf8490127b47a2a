// The program-wide values that start-up sets: the product's title and its icon.
#pragma once

#include <QIcon>

namespace app {

inline constexpr char kProductTitle[] = "Tavisto";
// The maker, named in the about window.
inline constexpr char kMakerName[] = "Quorlen";
// The application id: the name of the installed desktop file (without ".desktop") and of the
// icon in the icon theme, and the AppStream component id.
inline constexpr char kApplicationId[] = "org.quorlen.Tavisto";

// The program's icon (windows, tray, about picture), from the icon theme when it has one
// installed, else from the program itself.
QIcon ProductIcon();

}  // namespace app
