#include <gtest/gtest.h>

#include <memory>

#include "FtpTestHelpers.h"

namespace {

class Transfer : public ConnectedClientTest {};

TEST_F(Transfer, GetFileInAsciiModeKeepsCrLfAndReplacesTheLocalFileWhole) {
  server.WriteText("brain.txt", "*\r\nhej\r\nhall\xE5\r\n");
  ftp.TransferType(1);
  WriteBytes(local / "brain.txt", "old");
  ASSERT_TRUE(ftp.GetFile("/brain.txt", local / "brain.txt")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "brain.txt"), "*\r\nhej\r\nhall\xE5\r\n");
  EXPECT_EQ(listener.completions, 1);
  EXPECT_FALSE(std::filesystem::exists(local / "brain.txt.part"));
}

TEST_F(Transfer, BinaryTransfersMoveEveryByteBothWays) {
  std::string bytes = PatternBytes(200000) + "\r\n\n\r";
  WriteBytes(local / "up.bin", bytes);
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.PutFile(local / "up.bin", "up.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(server.ReadFile("up.bin"), bytes);
  ASSERT_TRUE(ftp.GetFile("up.bin", local / "down.bin"));
  EXPECT_EQ(ReadBytes(local / "down.bin"), bytes);
  EXPECT_EQ(listener.completions, 2);
}

TEST_F(Transfer, PutFileInAsciiModeSendsCrLfAsTheServerExpects) {
  WriteBytes(local / "medd.txt", "Hej d\xE5!\r\nRad tv\xE5\r\n");
  ftp.TransferType(1);
  ASSERT_TRUE(ftp.PutFile(local / "medd.txt", "/medd.txt"));
  EXPECT_EQ(server.ReadText("medd.txt"), "Hej d\xE5!\r\nRad tv\xE5\r\n");
}

TEST_F(Transfer, Windows1252NamesReachTheServerAsTheirLetters) {
  server.WriteText("användare.txt", "DATOR1\r\n");
  ftp.TransferType(1);
  ASSERT_TRUE(ftp.GetFile("anv\xE4ndare.txt", local / "users.txt"))
      << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "users.txt"), "DATOR1\r\n");
  ASSERT_TRUE(ftp.PutFile(local / "users.txt", "temp_anv\xE4ndare.txt"));
  EXPECT_TRUE(server.Exists("temp_användare.txt"));
}

TEST_F(Transfer, GetFileRefusesToOverwriteWhenAsked) {
  server.WriteFile("a.txt", "new");
  WriteBytes(local / "a.txt", "old");
  EXPECT_FALSE(ftp.GetFile("a.txt", local / "a.txt", true));
  EXPECT_EQ(listener.errors, std::vector<std::string>{"!Unknown error: Error details not available"});
  EXPECT_EQ(ReadBytes(local / "a.txt"), "old");
  EXPECT_EQ(listener.completions, 0);
}

TEST_F(Transfer, AListenerCanStartTheNextTransfersFromInsideTransferCompleted) {
  server.WriteFile("one.txt", "1");
  server.WriteFile("two.txt", "2");
  WriteBytes(local / "three.txt", "3");
  int step = 0;
  bool nestedOk = true;
  listener.onCompleted = [&] {
    ++step;
    if (step == 1) nestedOk &= ftp.GetFile("two.txt", local / "two.txt");
    if (step == 2) nestedOk &= ftp.PutFile(local / "three.txt", "three.txt");
  };
  ASSERT_TRUE(ftp.GetFile("one.txt", local / "one.txt"));
  EXPECT_TRUE(nestedOk) << testing::PrintToString(listener.errors);
  EXPECT_EQ(listener.completions, 3);
  EXPECT_EQ(ReadBytes(local / "one.txt"), "1");
  EXPECT_EQ(ReadBytes(local / "two.txt"), "2");
  EXPECT_EQ(server.ReadFile("three.txt"), "3");
}

TEST_F(Transfer, AListenerMayCloseAndDestroyTheObjectFromInsideTransferCompleted) {
  server.WriteFile("last.txt", "x");
  auto owned = std::make_unique<CFtp>();
  RecordingListener ownListener;
  owned->SetListener(&ownListener);
  ASSERT_TRUE(ConnectTo(*owned, server));
  ownListener.onCompleted = [&] {
    owned->CloseConnection();
    owned.reset();
  };
  EXPECT_TRUE(owned->GetFile("last.txt", local / "last.txt"));
  EXPECT_EQ(owned, nullptr);
  EXPECT_EQ(ReadBytes(local / "last.txt"), "x");
}

TEST_F(Transfer, CallsFromAProgressEventDuringATransferFailWithoutHarm) {
  server.WriteFile("big.bin", PatternBytes(400000));
  bool nestedResult = true;
  listener.onProgress = [&] { nestedResult &= ftp.DeleteFile("big.bin"); };
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.GetFile("big.bin", local / "big.bin"));
  EXPECT_FALSE(nestedResult);
  EXPECT_EQ(ReadBytes(local / "big.bin"), PatternBytes(400000));
  EXPECT_TRUE(server.Exists("big.bin"));
}

TEST_F(Transfer, DownloadFileReadsPiecesOf1024Bytes) {
  server.WriteFile("c.bin", PatternBytes(2500));
  std::vector<uintmax_t> sizesSeenByThePump;
  ftp.SetEventPump([&] {
    std::error_code ignored;
    // The pump also runs while a slow machine waits on the network; those runs see the same size.
    auto size = std::filesystem::file_size(local / "c.bin", ignored);
    if (sizesSeenByThePump.empty() || sizesSeenByThePump.back() != size) sizesSeenByThePump.push_back(size);
  });
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.DownloadFile("c.bin", local / "c.bin"));
  EXPECT_EQ(sizesSeenByThePump, (std::vector<uintmax_t>{0, 1024, 2048, 2500}));
  EXPECT_EQ(ReadBytes(local / "c.bin"), PatternBytes(2500));
  EXPECT_EQ(listener.completions, 1);
}

TEST_F(Transfer, DownloadFileWithCancelLeftSetKeepsTheFirstPieceAndTheObjectStaysUsable) {
  server.WriteFile("c.bin", PatternBytes(2500));
  ftp.CancelTransfer(true);
  EXPECT_FALSE(ftp.DownloadFile("c.bin", local / "c.bin"));
  EXPECT_TRUE(ftp.CancelTransfer());
  EXPECT_EQ(ReadBytes(local / "c.bin"), PatternBytes(1024));
  EXPECT_EQ(listener.completions, 1);
  EXPECT_TRUE(listener.errors.empty()) << testing::PrintToString(listener.errors);
  ftp.CancelTransfer(false);
  ASSERT_TRUE(ftp.GetFile("c.bin", local / "again.bin")) << testing::PrintToString(listener.errors);
  EXPECT_EQ(ReadBytes(local / "again.bin"), PatternBytes(2500));
}

TEST_F(Transfer, UploadFileMovesPiecesAndAcceptsAnEmptyFile) {
  WriteBytes(local / "empty.txt", "");
  ftp.CancelTransfer(true);
  ASSERT_TRUE(ftp.UploadFile(local / "empty.txt", "empty.txt")) << testing::PrintToString(listener.errors);
  EXPECT_FALSE(ftp.CancelTransfer());
  EXPECT_TRUE(server.Exists("empty.txt"));
  EXPECT_EQ(server.ReadFile("empty.txt"), "");
  WriteBytes(local / "piece.bin", PatternBytes(3000));
  int pumps = 0;
  ftp.SetEventPump([&] { ++pumps; });
  ftp.TransferType(2);
  ASSERT_TRUE(ftp.UploadFile(local / "piece.bin", "piece.bin"));
  EXPECT_EQ(server.ReadFile("piece.bin"), PatternBytes(3000));
  // Before each of the three pieces and before finding nothing left, and while a slow machine waits.
  EXPECT_GE(pumps, 4);
  EXPECT_EQ(listener.completions, 2);
}

TEST_F(Transfer, UploadFileOfAMissingLocalFileReportsWithoutThrowing) {
  EXPECT_FALSE(ftp.UploadFile(local / "missing.bin", "missing.bin"));
  ASSERT_EQ(listener.errors.size(), 1u);
  EXPECT_NE(listener.errors[0].front(), '!');
  EXPECT_FALSE(server.Exists("missing.bin"));
}

TEST_F(Transfer, AsciiTextFilesIntoAndOutOfStrings) {
  server.WriteFile("empty.txt", "");
  std::string buffer = "before";
  ASSERT_TRUE(ftp.ReadAsciiFile("empty.txt", buffer)) << testing::PrintToString(listener.errors);
  EXPECT_EQ(buffer, "");
  server.WriteText("lines.txt", "ett\r\ntv\xE5\r\ntre\r\nfyra\r\n");
  ASSERT_TRUE(ftp.ReadAsciiFile("lines.txt", buffer));
  EXPECT_EQ(buffer, "ett\r\ntv\xE5\r\ntre\r\nfyra\r\n");
  ASSERT_TRUE(ftp.WriteAsciiFile("out.txt", "rad 1\r\nrad 2\r\n"));
  EXPECT_EQ(server.ReadText("out.txt"), "rad 1\r\nrad 2\r\n");
  EXPECT_FALSE(ftp.ReadAsciiFile("missing.txt", buffer));
  EXPECT_EQ(buffer, "ett\r\ntv\xE5\r\ntre\r\nfyra\r\n");
  EXPECT_EQ(listener.errors.size(), 1u);
}

TEST_F(Transfer, FileExistAnswersWithoutEvents) {
  server.WriteFile("index.html", "<html>");
  EXPECT_TRUE(ftp.FileExist("/index.html"));
  EXPECT_FALSE(ftp.FileExist("/nothing.html"));
  EXPECT_TRUE(listener.errors.empty());
  server.Stop();
  EXPECT_TRUE(ftp.FileExist("/nothing.html"));  // the search failed for another reason than "no such file"
  EXPECT_TRUE(listener.errors.empty());
}

}  // namespace
