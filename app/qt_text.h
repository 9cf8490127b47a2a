// Texts between the core's UTF-8 strings and Qt's QString, and the interface texts in the
// user's language.
#pragma once

#include <string>

#include <QCoreApplication>
#include <QString>

inline QString Q(const std::string& text) { return QString::fromStdString(text); }
inline QString Q(const char* text) { return QString::fromUtf8(text); }

// An interface text (core/interface_texts.h) in the user's language.
inline QString T(const char* text) { return QCoreApplication::translate("lang", text); }
inline QString T(const std::string& text) { return T(text.c_str()); }
