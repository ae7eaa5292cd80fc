#include <gtest/gtest.h>

#include <vector>

#include "ItemReader.h"

namespace {
std::vector<std::string> AllItems(std::string_view text) {
  ItemReader reader(text);
  std::vector<std::string> items;
  while (!reader.AtEnd()) items.emplace_back(reader.Next());
  return items;
}
}  // namespace

TEST(ItemReader, LinesCommasAndEmptyLines) {
  EXPECT_EQ(AllItems("\r\n*\r\nhej\r\nhej| hur m\xE5r du\r\n"),
            (std::vector<std::string>{"", "*", "hej", "hej| hur m\xE5r du"}));
  EXPECT_EQ(AllItems("10,Nytt|b\xE4ttre,0,100\r\n"),
            (std::vector<std::string>{"10", "Nytt|b\xE4ttre", "0", "100"}));
}

TEST(ItemReader, AcceptsEveryLineEnd) {
  EXPECT_EQ(AllItems("a\nb\rc\r\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(AllItems("a\r\r\nb"), (std::vector<std::string>{"a", "", "b"}));
}

TEST(ItemReader, DropsLeadingBlanksAndKeepsEverythingElse) {
  EXPECT_EQ(AllItems("   hej  \r\n\"citat\" sa han \r\n   \r\n"),
            (std::vector<std::string>{"hej  ", "\"citat\" sa han ", ""}));
  const std::string withNul("a\0b\r\n", 5);
  EXPECT_EQ(AllItems(withNul), (std::vector<std::string>{std::string("a\0b", 3)}));
}

TEST(ItemReader, EndOfTextGivesEmptyItemsForever) {
  ItemReader reader("x");
  EXPECT_EQ(reader.Next(), "x");
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.Next(), "");
  EXPECT_TRUE(reader.AtEnd());
  ItemReader empty("");
  EXPECT_TRUE(empty.AtEnd());
}
