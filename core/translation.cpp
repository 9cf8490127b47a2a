#include "core/translation.h"

namespace core {

std::string EnglishText(const char* text) { return text; }

}  // namespace core
