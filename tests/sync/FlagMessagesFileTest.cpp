// "medd.txt" on disk: reading its two messages and rewriting the users' line.

#include <gtest/gtest.h>

#include "FlagMessagesFile.h"
#include "SyncTestFiles.h"
#include "Windows1252.h"

namespace {

class FlagMessagesFileTest : public ::testing::Test {
 protected:
  TempFolder folder;
  std::filesystem::path file = folder / "medd.txt";
};

TEST_F(FlagMessagesFileTest, ReadsBothMessagesAsStored) {
  WriteBytes(file, W("Hej| alla!\r\nVimo är bäst|  typ\r\n"));
  const FlagMessages messages = ReadFlagMessages(file);
  EXPECT_EQ(messages.users, W("Hej| alla!"));
  EXPECT_EQ(messages.admin, W("Vimo är bäst|  typ"));

  // Files edited elsewhere may carry bare LF line ends.
  WriteBytes(file, "ett\ntv\xE5\n");
  EXPECT_EQ(ReadFlagMessages(file).admin, "tv\xE5");
}

TEST_F(FlagMessagesFileTest, MissingOrShortFileGivesEmptyMessages) {
  FlagMessages missing = ReadFlagMessages(file);
  EXPECT_EQ(missing.users, "");
  EXPECT_EQ(missing.admin, "");

  WriteBytes(file, "bara en rad\r\n");
  const FlagMessages oneLine = ReadFlagMessages(file);
  EXPECT_EQ(oneLine.users, "bara en rad");
  EXPECT_EQ(oneLine.admin, "");

  WriteBytes(file, "\r\nadmin\r\n");
  const FlagMessages emptyUsers = ReadFlagMessages(file);
  EXPECT_EQ(emptyUsers.users, "");
  EXPECT_EQ(emptyUsers.admin, "admin");
}

TEST_F(FlagMessagesFileTest, RewriteStoresCommasAsBarsAndKeepsTheAdminLineByteForByte) {
  WriteBytes(file, "gammalt\r\nAdmin| med \xF6 och slutblank \r\n");
  const FlagMessages before = ReadFlagMessages(file);

  ASSERT_TRUE(WriteFlagMessages(file, W("Hej, hej, världen"), before.admin));
  EXPECT_EQ(ReadBytes(file), W("Hej| hej| världen\r\nAdmin| med ö och slutblank \r\n"));

  const FlagMessages after = ReadFlagMessages(file);
  EXPECT_EQ(after.users, W("Hej| hej| världen"));
  EXPECT_EQ(after.admin, before.admin);
}

TEST_F(FlagMessagesFileTest, LineBreaksInANewMessageCannotPushTheAdminLineAway) {
  ASSERT_TRUE(WriteFlagMessages(file, "rad ett\r\nrad tv\xE5\nrad tre\r", "admin"));
  const FlagMessages after = ReadFlagMessages(file);
  EXPECT_EQ(after.users, "rad ett  rad tv\xE5 rad tre ");
  EXPECT_EQ(after.admin, "admin");
}

}  // namespace
