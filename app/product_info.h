// The program-wide values that start-up sets: the product's title and its icon.
#pragma once

#include <QIcon>

inline constexpr char ProductTitle[] = "Tavisto";
// The maker's mark after the title in the main window's title bar.
inline constexpr char MakerMark[] = "(Quorlen)";

// The program's icon (windows, tray, about picture), from the icon theme when it has one
// installed, else from the program itself.
QIcon ProductIcon();
