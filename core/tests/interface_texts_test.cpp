#include "core/interface_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <cctype>
#include <string_view>

namespace {

// Every interface text, as the translators and the user get it (the build lists the names).
constexpr const char* kTexts[] = {
#include "core/all_interface_texts.inc"
};

// The words the program once showed misspelt or ungrammatical; none may come back.
constexpr std::string_view kMistakes[] = {"Stero", "conversting", "exists.", "Meida", "Can NOT", "can NOT",
                                          "to cancel the converting", "have a wait", "main Window", "remained",
                                          "same settings to", "canceled the converting"};

// Texts are joined with blanks and line breaks of their own: none starts or ends with a blank,
// none holds two blanks or four dots in a row, every "&" marks a letter or a digit, and no
// known mistake is left.
TEST(InterfaceTexts, EveryTextIsProofread) {
  for (const std::string_view text : kTexts) {
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.front(), ' ') << text;
    EXPECT_NE(text.back(), ' ') << text;
    EXPECT_EQ(text.find("  "), std::string_view::npos) << text;
    EXPECT_EQ(text.find("...."), std::string_view::npos) << text;
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
      ASSERT_LT(at + 1, text.size()) << text;
      EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(text[at + 1]))) << text;
    }
    for (const std::string_view mistake : kMistakes) EXPECT_EQ(text.find(mistake), std::string_view::npos) << text;
  }
}

}  // namespace
