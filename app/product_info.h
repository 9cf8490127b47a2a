// The program-wide values that start-up sets: the product's title and its icon.
#pragma once

#include <QIcon>

namespace app {

inline constexpr char kProductTitle[] = "Tavisto";
// The maker, named in the about window.
inline constexpr char kMakerName[] = "Quorlen";

// The program's icon (windows, tray, about picture), from the icon theme when it has one
// installed, else from the program itself.
QIcon ProductIcon();

}  // namespace app
