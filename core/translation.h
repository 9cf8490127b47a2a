// The interface texts in the user's language. The texts are written in English (interface_texts.h)
// and marked with LANG_TEXT, which the translation tools read as a text of the context "lang".
// The core composes its texts (run summaries, failure reasons) through a TextLookup its caller
// gives: the desktop program's looks the texts up in its translations, the default leaves them
// English (tavisto-convert, tests). Numbers in those texts go through a NumberFormat the same way,
// so that a German desktop reads "1.234 Dateien" while the core knows nothing of locales.
#pragma once

#include <cstdint>
#include <string>

// Marks an English interface text for the translation tools; the text itself is unchanged.
#define LANG_TEXT(text) text

namespace core {

// Gives an interface text in the user's language; it must be safe to call from any thread.
using TextLookup = std::string (*)(const char* text);

// The text as it is: English.
std::string EnglishText(const char* text);

// Gives a whole number as the user writes it (digit grouping, digits); safe from any thread.
using NumberFormat = std::string (*)(std::int64_t number);

// The number's decimal digits, with a leading "-" when negative and no grouping: "12345".
std::string PlainNumber(std::int64_t number);

}  // namespace core
