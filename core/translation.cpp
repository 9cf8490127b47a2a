#include "core/translation.h"

namespace core {

std::string EnglishText(const char* text) { return text; }

std::string PlainNumber(std::int64_t number) { return std::to_string(number); }

}  // namespace core
