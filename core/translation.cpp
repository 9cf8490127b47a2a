#include "core/translation.h"

namespace {
TextTranslator installed = nullptr;
}  // namespace

void SetTextTranslator(TextTranslator translator) { installed = translator; }

std::string Translated(const char* text) { return installed != nullptr ? installed(text) : std::string(text); }
