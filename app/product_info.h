// The program-wide values that start-up sets: the product's title, its icon and the filter of
// the open-file dialog.
#pragma once

#include <QIcon>

inline constexpr char ProductTitle[] = "Tavisto";
// The maker's mark after the title in the main window's title bar.
inline constexpr char MakerMark[] = "(Quorlen)";
// Pairs of display text and pattern list, separated by "|".
inline constexpr char FileFilter[] =
    "All available Files|*.wma;*.wmv;*.asf|Windows Meida Files(*.wma;*.wmv;*.asf)|*.wma;*.wmv;*.asf";

// The program's icon (windows, tray, about picture), from the icon theme when it has one
// installed, else from the program itself.
QIcon ProductIcon();
