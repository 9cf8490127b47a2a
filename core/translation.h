// The interface texts in the user's language. The texts are written in English (interface_texts.h)
// and marked with LANG_TEXT, which the translation tools read as a text of the context "lang";
// the desktop program installs a translator that looks them up in its translations, and the
// composed texts of the core (run summaries, failure reasons) go through Translated as well.
// Without a translator (tavisto-convert, tests) every text stays English.
#pragma once

#include <string>

// Marks an English interface text for the translation tools; the text itself is unchanged.
#define LANG_TEXT(text) text

// The function that gives a text in the user's language; it must be safe to call from any thread.
using TextTranslator = std::string (*)(const char* text);

// Installs `translator` (null: none). Set once at start-up, before any other thread runs.
void SetTextTranslator(TextTranslator translator);

// `text` (one of the interface texts) in the user's language, or as it is without a translator.
std::string Translated(const char* text);
