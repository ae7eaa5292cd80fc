#include <gtest/gtest.h>

#include <stdexcept>

#include "ftp/CFtp.h"
#include "ftp/CFtpFiles.h"
#include "ftp/CUniqueKey.h"
#include "ftp/FtpListing.h"
#include "ftp/INetCallback.h"
#include "ftp/InetCodes.h"

namespace {

using inet::CalendarTime;
using inet::ParseListing;
using inet::ParseListLine;

const CalendarTime kNow{2024, 6, 15, 12, 0, 0};

TEST(ListingParser, ReadsUnixLinesWithBlanksWindows1252AndLinks) {
  auto entries = ParseListing(
      "total 12\r\n"
      "-rw-r--r--   1 owner    group         532 Mar 04  2020 brain.txt\r\n"
      "drwxr-xr-x   2 owner    group        4096 Jun 14 09:30 Data\r\n"
      "-rw-r--r--   1 owner    group          10 Jan 02 10:00 two  blanks .txt\r\n"
      "-rw-r--r--   1 owner    group           3 Jun 14 09:30 anv\xE4ndare.txt\n"
      "lrwxrwxrwx   1 owner    group           9 Jun 14 09:30 link -> brain.txt\r\n",
      kNow);
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, "brain.txt");
  EXPECT_EQ(entries[0].sizeLow, 532u);
  EXPECT_EQ(entries[0].attributes, inet::kAttributeNormal);
  EXPECT_EQ(entries[0].lastWrite, (CalendarTime{2020, 3, 4, 0, 0, 0}));
  EXPECT_EQ(entries[1].attributes, inet::kAttributeDirectory);
  EXPECT_EQ(entries[1].lastWrite, (CalendarTime{2024, 6, 14, 9, 30, 0}));
  EXPECT_EQ(entries[2].name, "two  blanks .txt");
  EXPECT_EQ(entries[3].name, "anv\xE4ndare.txt");
  EXPECT_EQ(entries[4].name, "link");
}

TEST(ListingParser, PutsDatesWithoutYearWithinTheLastTwelveMonths) {
  auto past = ParseListLine("-rw-r--r-- 1 o g 1 Dec 24 18:00 jul.txt", kNow);
  ASSERT_TRUE(past);
  EXPECT_EQ(past->lastWrite.year, 2023);
  auto recent = ParseListLine("-rw-r--r-- 1 o g 1 Jun 15 08:00 today.txt", kNow);
  ASSERT_TRUE(recent);
  EXPECT_EQ(recent->lastWrite.year, 2024);
}

TEST(ListingParser, KeepsEntriesWithImpossibleDatesAtTheEpoch) {
  for (const char* line :
       {"-rw-r--r-- 1 o g 7 Feb 30  2021 odd.txt", "-rw-r--r-- 1 o g 7 Feb 29  2023 leap.txt",
        "-rw-r--r-- 1 o g 7 Jan 01 25:61 clock.txt", "02-30-21  10:00AM  7 dos.txt"}) {
    auto entry = ParseListLine(line, kNow);
    ASSERT_TRUE(entry) << line;
    EXPECT_EQ(entry->lastWrite, CalendarTime{}) << line;
    EXPECT_EQ(entry->sizeLow, 7u) << line;
  }
  auto leap = ParseListLine("-rw-r--r-- 1 o g 7 Feb 29  2024 leap.txt", kNow);
  ASSERT_TRUE(leap);
  EXPECT_EQ(leap->lastWrite, (CalendarTime{2024, 2, 29, 0, 0, 0}));
}

TEST(ListingParser, ReadsDosLines) {
  auto entries = ParseListing(
      "01-02-24  10:30AM       <DIR>          My Folder\r\n"
      "12-31-99  12:05PM                 2500 r\xE4kna.txt\r\n"
      "03-04-2021  12:15AM             17 late.txt\r\n",
      kNow);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "My Folder");
  EXPECT_EQ(entries[0].attributes, inet::kAttributeDirectory);
  EXPECT_EQ(entries[0].lastWrite, (CalendarTime{2024, 1, 2, 10, 30, 0}));
  EXPECT_EQ(entries[1].name, "r\xE4kna.txt");
  EXPECT_EQ(entries[1].sizeLow, 2500u);
  EXPECT_EQ(entries[1].lastWrite, (CalendarTime{1999, 12, 31, 12, 5, 0}));
  EXPECT_EQ(entries[2].lastWrite, (CalendarTime{2021, 3, 4, 0, 15, 0}));
}

TEST(ListingParser, SplitsSizesAbove4GiBIntoHalvesAndSkipsNonEntries) {
  auto big = ParseListLine("-rw-r--r-- 1 o g 5368709120 Jan 01  2024 big.bin", kNow);
  ASSERT_TRUE(big);
  EXPECT_EQ(big->sizeHigh, 1u);
  EXPECT_EQ(big->sizeLow, 0x40000000u);
  EXPECT_FALSE(ParseListLine("total 8", kNow));
  EXPECT_FALSE(ParseListLine("", kNow));
  EXPECT_FALSE(ParseListLine("drwxr-xr-x 2 o g 4096 Jan 01  2024 ..", kNow));
  EXPECT_FALSE(ParseListLine("garbage without a date", kNow));
}

TEST(UniqueKeys, CountUpWithSixDigitsAndIgnoreLetterCase) {
  CUniqueKey keys;
  EXPECT_EQ(keys.UniqueKey("name"), "name");
  EXPECT_EQ(keys.UniqueKey("NAME"), "NAME000001");
  EXPECT_EQ(keys.UniqueKey("Name"), "Name000002");
  EXPECT_EQ(keys.UniqueKey("\xC5sa"), "\xC5sa");
  EXPECT_EQ(keys.UniqueKey("\xE5sa"), "\xE5sa000001");
  keys.Clear();
  EXPECT_EQ(keys.UniqueKey("NAME"), "NAME");
}

TEST(FileCollection, KeysBlanksAsUnderscoresAndLooksUpByPositionAndKey) {
  CFtpFiles files;
  files.Add(1.0, 0, 10, "my file.txt", 0x80);
  files.Add(2.0, 0, 20, "my_file.txt", 0x80);
  files.Add(3.0, 0, 0, std::string("Sub\0junk", 8), 0x10);
  ASSERT_EQ(files.Count(), 3);
  EXPECT_EQ(files.Item("my_file.txt").FileName(), "my file.txt");
  EXPECT_EQ(files.Item("MY_FILE.TXT000001").FileName(), "my_file.txt");
  EXPECT_EQ(files.Item(3).FileName(), "Sub");
  EXPECT_TRUE(files.Item(3).IsDirectory());
  EXPECT_TRUE(files.Item(1).Path().empty());
  EXPECT_THROW(files.Item(0), std::out_of_range);
  EXPECT_THROW(files.Item(4), std::out_of_range);
  EXPECT_THROW(files.Item("missing"), std::out_of_range);
  int visited = 0;
  for (CFtpFile& entry : files) visited += entry.FileSize() >= 0 ? 1 : 0;
  EXPECT_EQ(visited, 3);
  files.Clear();
  EXPECT_EQ(files.Count(), 0);
  files.Add(1.0, 0, 10, "my_file.txt", 0x80);
  EXPECT_EQ(files.Item("my_file.txt").FileSize(), 10.0);
}

TEST(FileEntry, SizesAndSizeTexts) {
  CFtpFiles files;
  EXPECT_EQ(files.Add(0, 1, 0x40000000u, "a", 0).FileSize(), 5368709120.0);
  EXPECT_EQ(files.Add(0, 0, 0xC0000000u, "b", 0).FileSize(), 3221225472.0);
  EXPECT_EQ(files.Add(0, 0, 532, "c", 0).FileSizeStr(), "532 b");
  EXPECT_EQ(files.Add(0, 0, 1536, "d", 0).FileSizeStr(), "1.50 KB");
  EXPECT_EQ(files.Add(0, 0, 1023 * 1024 + 1023, "e", 0).FileSizeStr(), "1023 KB");
  EXPECT_EQ(files.Add(0, 1, 0x40000000u, "f", 0).FileSizeStr(), "5.00 GB");
}

TEST(FileEntry, DatesCountDaysFromTheEndOf1899) {
  EXPECT_DOUBLE_EQ(MakeFileDate(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(MakeFileDate(2000, 1, 1, 12, 0, 0), 36526.5);
  EXPECT_DOUBLE_EQ(MakeFileDate(1899, 12, 29, 6, 0, 0), -1.25);
}

TEST(ErrorTable, TextsAndUnknownCodes) {
  EXPECT_EQ(inet::ErrorTextForCode(12002), "!Request timed out");
  EXPECT_EQ(inet::ErrorTextForCode(12163),
            "!Connection failed. Internet Explorer might have been set to 'Work Offline'");
  for (int32_t code : {12032, 12034, 12035, 12110, 2, 18}) {
    EXPECT_EQ(inet::ErrorTextForCode(code), "!Unknown error: Error details not available") << code;
  }
}

TEST(Progress, PercentRoundsHalvesToEvenAndIsCapped) {
  EXPECT_EQ(CFtp::ProgressPercent(12.5, 100), 12);
  EXPECT_EQ(CFtp::ProgressPercent(13.5, 100), 14);
  EXPECT_EQ(CFtp::ProgressPercent(500, 0), 0);
  EXPECT_EQ(CFtp::ProgressPercent(300, 100), 100);
  EXPECT_EQ(CFtp::ProgressPercent(2, 3), 67);
}

TEST(Proxy, ListNamesTheProxyAndTheStoredPort) {
  EXPECT_EQ(CFtp::ProxyListFor("proxy.example", 0), "ftp=ftp://proxy.example:0");
  EXPECT_EQ(CFtp::ProxyListFor("p", 2121), "ftp=ftp://p:2121");
  EXPECT_EQ(CFtp::ProxyListFor("p", static_cast<int16_t>(40000)), "ftp=ftp://p:40000");
}

class CountingReceiver : public IInetStatus {
 public:
  void CallbackFunc(int32_t, const void*, int32_t) override { ++calls; }
  int calls = 0;
};

TEST(StatusRouting, ReachesOnlyLiveRegisteredObjects) {
  CountingReceiver receiver;
  uintptr_t context = INetCallback::RegisterContext(&receiver);
  EXPECT_NE(context, 0u);
  INetCallback::InetStatusCallback(0, context, inet::kStatusClosingConnection, nullptr, 0);
  INetCallback::InetStatusCallback(0, 0, inet::kStatusClosingConnection, nullptr, 0);
  EXPECT_EQ(INetCallback::ObjectFromContext(0), nullptr);
  INetCallback::UnregisterContext(context);
  INetCallback::InetStatusCallback(0, context, inet::kStatusClosingConnection, nullptr, 0);
  EXPECT_EQ(receiver.calls, 1);
}

}  // namespace
