#include <gtest/gtest.h>

#include "Windows1252.h"

TEST(Windows1252, SwedishLettersRoundTrip) {
  const std::string utf8 = "Vem är bäst? Åsa, Örjan och Éva – 5 €";
  const std::string cp1252 = Utf8ToWindows1252(utf8);
  EXPECT_EQ(cp1252, "Vem \xE4r b\xE4st? \xC5sa, \xD6rjan och \xC9va \x96 5 \x80");
  EXPECT_EQ(Windows1252ToUtf8(cp1252), utf8);
}

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToWindows1252(Windows1252ToUtf8(all)), all);
}

TEST(Windows1252, CharactersWithoutAFormBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToWindows1252("hej \xE4\xB8\xAD \xF0\x9F\x98\x80!"), "hej ? ?!");  // CJK, emoji
  EXPECT_EQ(Utf8ToWindows1252("a\xC3"), "a?");                                     // cut sequence
  EXPECT_EQ(Utf8ToWindows1252("\xFF\x41"), "?A");
}

TEST(Windows1252, LowerCaseCoversTheWindows1252Letters) {
  EXPECT_EQ(LowerWindows1252(W("HEJ ÅÄÖ ÉÜ ŠŒŽŸ Þ")), W("hej åäö éü šœžÿ þ"));
  EXPECT_EQ(LowerWindows1252(W("× ß 1,2|*")), W("× ß 1,2|*"));  // no lower form: unchanged
}
