#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/FtpReply.h"

namespace {

// Feeds the lines of `text` one by one, as libcurl hands them over, and collects the replies completed.
std::vector<std::pair<int, std::string>> RepliesIn(const std::string& text) {
  inet::FtpReplyReader reader;
  std::vector<std::pair<int, std::string>> replies;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    if (reader.Feed(std::string_view(text).substr(start, end - start))) {
      replies.emplace_back(reader.Code(), reader.Text());
      EXPECT_EQ(reader.Bytes(), reader.Text().size());
    }
    start = end;
  }
  return replies;
}

using Replies = std::vector<std::pair<int, std::string>>;

TEST(Reply, SingleAndMultiLineRepliesEndAtTheLineThatRepeatsTheCode) {
  EXPECT_EQ(RepliesIn("220 Ready.\r\n331 Password?\r\n"),
            (Replies{{220, "220 Ready.\r\n"}, {331, "331 Password?\r\n"}}));
  // Inner lines may start with other codes or with the code itself and a dash; only "230 " ends it.
  const std::string features = "230-Welcome\r\n 211 inner\r\n230-more\r\n150 not the end\r\n230 Done.\r\n";
  EXPECT_EQ(RepliesIn(features), (Replies{{230, features}}));
  EXPECT_EQ(RepliesIn("200\r\n"), (Replies{{200, "200\r\n"}}));
  EXPECT_EQ(RepliesIn("200"), (Replies{{200, "200"}}));
}

TEST(Reply, LinesOutsideAReplyAreDroppedAndAnOpenReplyIsNotReported) {
  EXPECT_EQ(RepliesIn("Content-Length: 12\r\nAccept-ranges: bytes\r\n550 No.\r\n"),
            (Replies{{550, "550 No.\r\n"}}));
  EXPECT_EQ(RepliesIn("226-Transfer\r\n"), Replies{});
  EXPECT_EQ(RepliesIn("ab1 x\r\n2\r\n"), Replies{});
  // A reply that never seems to end keeps its first and last lines, and counts every byte.
  inet::FtpReplyReader reader;
  reader.Feed("211-Start\r\n");
  for (int i = 0; i < 10000; ++i) reader.Feed(" a feature line\r\n");
  ASSERT_TRUE(reader.Feed("211 End\r\n"));
  EXPECT_LE(reader.Text().size(), 64u * 1024u + 9u);
  EXPECT_EQ(reader.Text().rfind("211-Start\r\n", 0), 0u);
  EXPECT_EQ(reader.Text().substr(reader.Text().size() - 9), "211 End\r\n");
  EXPECT_EQ(reader.Bytes(), 11u + 10000u * 17u + 9u);
  EXPECT_EQ(inet::ReplyCode("12"), 0);
  EXPECT_EQ(inet::ReplyCode("421 Busy"), 421);
}

TEST(Reply, PwdNamesTheDirectoryBetweenQuotesWithDoubledQuotesKept) {
  EXPECT_EQ(inet::DirectoryFromPwdReply("257 \"/\" is the current directory.\r\n"), "/");
  EXPECT_EQ(inet::DirectoryFromPwdReply("257 \"/a \"\"b\"\" c\" created\r\n"), "/a \"b\" c");
  EXPECT_EQ(inet::DirectoryFromPwdReply("257 \"/unclosed\r\n"), "/unclosed\r\n");
  EXPECT_EQ(inet::DirectoryFromPwdReply("257 no quotes\r\n"), std::nullopt);
  EXPECT_EQ(inet::DirectoryFromPwdReply("250 \"/\"\r\n"), std::nullopt);
}

}  // namespace
