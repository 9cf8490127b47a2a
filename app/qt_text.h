// Texts between the core's UTF-8 strings and Qt's QString.
#pragma once

#include <string>

#include <QString>

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline QString Q(const char* text) { return QString::fromUtf8(text); }
