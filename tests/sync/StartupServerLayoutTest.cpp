// The readers of the server layout on canned text: the version record and the user list.

#include <gtest/gtest.h>

#include "ServerLayout.h"
#include "SyncTestFiles.h"
#include "Windows1252.h"

namespace {

TEST(VersionRecordTest, ReadsTheFourFieldsInOrder) {
  const VersionRecord record = ParseVersionRecord(W("10,Nytt|bättre,0,100\r\n"));
  EXPECT_FLOAT_EQ(record.newestVersion, 10.0f);
  EXPECT_EQ(record.news, W("Nytt|bättre"));
  EXPECT_FLOAT_EQ(record.holidayFlag, 0.0f);
  EXPECT_FLOAT_EQ(record.holidayAnimationInterval, 100.0f);
  EXPECT_TRUE(record.IsNewerThan(9));
  EXPECT_FALSE(record.IsHoliday());
}

TEST(VersionRecordTest, OnlyExactlyOneIsAHoliday) {
  EXPECT_TRUE(ParseVersionRecord("9,x,1.0,80").IsHoliday());
  EXPECT_TRUE(ParseVersionRecord("9,x,1,80").IsHoliday());
  EXPECT_FALSE(ParseVersionRecord("9,x,1.5,80").IsHoliday());
  EXPECT_FALSE(ParseVersionRecord("9,x,2,80").IsHoliday());
  EXPECT_FALSE(ParseVersionRecord("9,x,0.99,80").IsHoliday());
}

TEST(VersionRecordTest, ComparesTheVersionAsAFloat) {
  EXPECT_FALSE(ParseVersionRecord("9,x,0,0").IsNewerThan(9));
  EXPECT_TRUE(ParseVersionRecord("9.5,x,0,0").IsNewerThan(9));
  EXPECT_FALSE(ParseVersionRecord("8.75,x,0,0").IsNewerThan(9));
  EXPECT_FLOAT_EQ(ParseVersionRecord("1,x,1,83.5").holidayAnimationInterval, 83.5f);
}

TEST(VersionRecordTest, MissingFieldsAnnounceNothing) {
  const VersionRecord empty = ParseVersionRecord("");
  EXPECT_FALSE(empty.IsNewerThan(9));
  EXPECT_FALSE(empty.IsHoliday());
  EXPECT_FLOAT_EQ(empty.holidayAnimationInterval, 0.0f);
  EXPECT_EQ(empty.news, "");

  const VersionRecord two = ParseVersionRecord("12,Bara nyheter\r\n");
  EXPECT_TRUE(two.IsNewerThan(9));
  EXPECT_EQ(two.news, "Bara nyheter");
  EXPECT_FALSE(two.IsHoliday());
  EXPECT_FLOAT_EQ(two.holidayAnimationInterval, 0.0f);
}

TEST(VersionRecordTest, DamagedNumbersReadAsZero) {
  const VersionRecord record = ParseVersionRecord("abc,x,nan,inf");
  EXPECT_FALSE(record.IsNewerThan(9));
  EXPECT_FALSE(record.IsHoliday());
  EXPECT_FLOAT_EQ(record.holidayAnimationInterval, 0.0f);
  // Blanks before a number are skipped by the item reader; a sign is allowed.
  EXPECT_TRUE(ParseVersionRecord("  +10,x,  1,  50").IsHoliday());
  EXPECT_FLOAT_EQ(ParseVersionRecord("  +10,x,  1,  50").newestVersion, 10.0f);
}

TEST(VersionRecordTest, AnAbsentFileIsNoRecord) {
  TempFolder folder;
  EXPECT_FALSE(ReadVersionRecord(folder / "version.txt").has_value());
  WriteBytes(folder / "version.txt", "9,x,1,120\r\n");
  const auto record = ReadVersionRecord(folder / "version.txt");
  ASSERT_TRUE(record.has_value());
  EXPECT_TRUE(record->IsHoliday());
}

TEST(UserListTest, CountsTheLineBreaks) {
  EXPECT_EQ(CountUsers("alfa\r\nbeta\r\ngamma\r\n"), 3);
  EXPECT_EQ(CountUsers("alfa\r\nbeta\r\ngamma"), 2);
  EXPECT_EQ(CountUsers(""), 0);
  // A damaged list is counted as it is: lone LFs are not CR LF line breaks.
  EXPECT_EQ(CountUsers("alfa\nbeta\r\n"), 1);
}

TEST(UserListTest, FindsNamesExactly) {
  const std::string list = "alfa\r\nBeta\r\ngamma";
  EXPECT_TRUE(UserListContains(list, "alfa"));
  EXPECT_TRUE(UserListContains(list, "gamma"));
  EXPECT_FALSE(UserListContains(list, "beta"));
  EXPECT_FALSE(UserListContains(list, "alf"));
  EXPECT_FALSE(UserListContains("", "alfa"));
}

TEST(UserListTest, AppendsTheNameOnALineOfItsOwn) {
  EXPECT_EQ(UserListWithName("alfa\r\n", "beta"), "alfa\r\nbeta\r\n");
  EXPECT_EQ(UserListWithName("", "beta"), "beta\r\n");
  // Without a final line break the new name must not run into the last one.
  EXPECT_EQ(UserListWithName("alfa", "beta"), "alfa\r\nbeta\r\n");
}

}  // namespace
