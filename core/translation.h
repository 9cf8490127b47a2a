// The interface texts in the user's language. The texts are written in English (interface_texts.h)
// and marked with LANG_TEXT, which the translation tools read as a text of the context "lang".
// The core composes its texts (run summaries, failure reasons) through a TextLookup its caller
// gives: the desktop program's looks the texts up in its translations, the default leaves them
// English (tavisto-convert, tests).
#pragma once

#include <string>

// Marks an English interface text for the translation tools; the text itself is unchanged.
#define LANG_TEXT(text) text

namespace core {

// Gives an interface text in the user's language; it must be safe to call from any thread.
using TextLookup = std::string (*)(const char* text);

// The text as it is: English.
std::string EnglishText(const char* text);

}  // namespace core
