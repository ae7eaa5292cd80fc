// The signature, the executable check and the release tool: what a release is, and that what the
// maintainer's tool publishes is what the updater takes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "FakePlatform.h"
#include "FtpTestServer.h"
#include "Release.h"
#include "ReleaseTestFiles.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "UpdateTrial.h"
#include "UpdaterLogic.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

namespace {

// Which changes a signature does not survive is checked end to end in the updater's tests; here
// what those cannot reach.
TEST(ReleaseSignature, KeysAndVersionForms) {
  const TestReleaseKey key;
  EXPECT_EQ(PublicKeyOf(key.pair.secretKey), key.pair.publicKey);
  EXPECT_FALSE(SignRelease("short", 10.0f, "program").has_value());
  EXPECT_FALSE(VerifyRelease(key.pair.publicKey.substr(1), 10.0f, "program", key.Sign("program", 10.0f)));
  // The version is signed in its shortest form, so "10", "10.0" and "+10" are one release.
  EXPECT_TRUE(
      VerifyRelease(key.pair.publicKey, ReleaseVersionFrom(" +10.0"), "program", key.Sign("program", 10.0f)));
  EXPECT_EQ(ReleaseVersionText(ReleaseVersionFrom("9.50")), "9.5");
  EXPECT_EQ(ReleaseVersionFrom("tio"), 0.0f);
}

TEST(ReleaseSignature, CompiledKeyAndHexText) {
  EXPECT_EQ(CompiledReleasePublicKey().size(), kReleasePublicKeySize)
      << "VIMO_RELEASE_PUBLIC_KEY is not a key";
  const std::string bytes("\x00\x7f\x80\xff", 4);
  EXPECT_EQ(EncodeHex(bytes), "007f80ff");
  EXPECT_EQ(DecodeHex(" 007F80ff\n"), bytes);
  EXPECT_FALSE(DecodeHex("007").has_value());
  EXPECT_FALSE(DecodeHex("0g").has_value());
  EXPECT_FALSE(DecodeHex("+1").has_value());
}

TEST(ReleaseExecutable, OnlyProgramsOfThisPlatformPass) {
  const std::string program = HealthyBuild();
  EXPECT_TRUE(IsExecutableForThisPlatform(program));
  EXPECT_FALSE(IsExecutableForThisPlatform(""));
  EXPECT_FALSE(IsExecutableForThisPlatform("#!/bin/sh\necho ran\n"));
  EXPECT_FALSE(IsExecutableForThisPlatform(program.substr(0, 40)));
#ifndef _WIN32
  std::string otherMachine = program;
  otherMachine[18] = static_cast<char>(otherMachine[18] + 1);
  EXPECT_FALSE(IsExecutableForThisPlatform(otherMachine));
  std::string otherWordSize = program;
  otherWordSize[4] = otherWordSize[4] == 2 ? 1 : 2;
  EXPECT_FALSE(IsExecutableForThisPlatform(otherWordSize));
  std::string objectFile = program;
  objectFile[16] = 1;
  EXPECT_FALSE(IsExecutableForThisPlatform(objectFile));
  std::string windowsImage(256, '\0');
  windowsImage.replace(0, 2, "MZ");
  windowsImage[60] = static_cast<char>(128);
  windowsImage.replace(128, 4, std::string("PE\0\0", 4));
  EXPECT_FALSE(IsExecutableForThisPlatform(windowsImage));
#endif
}

class ReleaseToolTest : public ::testing::Test {
 protected:
  // Runs the tool with the arguments (already quoted); its exit code.
  static int Tool(const std::string& arguments) {
    const std::string command =
        std::string("\"") + VIMO_RELEASE_TOOL + "\" " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

  TempFolder work_{"vimo-release-tool"};
  FtpTestServer server_;
};

TEST_F(ReleaseToolTest, PublishedReleaseIsInstalledByTheUpdater) {
  const fs::path secret = work_ / "release.key";
  ASSERT_EQ(Tool("keygen " + Quoted(secret)), 0);
  EXPECT_EQ(fs::status(secret).permissions() & (fs::perms::group_all | fs::perms::others_all),
            fs::perms::none);
  EXPECT_NE(Tool("keygen " + Quoted(secret)), 0) << "an existing key must never be overwritten";
  const std::string secretKey = DecodeHex(ReadBytes(secret)).value_or("");
  ASSERT_EQ(secretKey.size(), kReleaseSecretKeySize);

  // A script is no program for this platform: nothing is published.
  WriteBytes(work_ / "script", "#!/bin/sh\n");
  server_.WriteText("version.txt", "9,Ingen nyhet,1,250\r\n");
  EXPECT_EQ(
      Tool("publish " + Quoted(secret) + " " + Quoted(work_ / "script") + " 10 " + Quoted(server_.root())),
      1);
  EXPECT_FALSE(server_.Exists("Vimo"));
  EXPECT_EQ(server_.ReadText("version.txt"), "9,Ingen nyhet,1,250\r\n");

  ASSERT_EQ(Tool("publish " + Quoted(secret) + " \"" + VIMO_HEALTHY_RELEASE + "\" 10.0 " +
                 Quoted(server_.root()) + " \"Snabbare, säkrare\""),
            0);
  // The holiday fields stay; the news is stored as every Vimo text file is.
  EXPECT_EQ(server_.ReadText("version.txt"), W("10,Snabbare| säkrare,1,250\r\n"));
  EXPECT_EQ(server_.ReadFile("Vimo"), HealthyBuild());
  ASSERT_EQ(
      Tool("sign " + Quoted(secret) + " \"" + VIMO_HEALTHY_RELEASE + "\" 10 " + Quoted(work_ / "Vimo.sig")),
      0);
  EXPECT_EQ(server_.ReadFile("Vimo.sig"), ReadBytes(work_ / "Vimo.sig"));

  // The program folder as the main program leaves it for the updater: the record it downloaded.
  TempFolder program("vimo-release-tool-program");
  WriteBytes(program / "Vimo", "the old build\n");
  WriteBytes(program / "version.txt", server_.ReadText("version.txt"));
  struct : UpdaterView {
    void SetStatusText(const std::string&) override {}
    void SetNewsText(const std::string& text) override { news = text; }
    void SetDownloadEnabled(bool) override {}
    void CloseWindow() override {}
    std::string news;
  } view;
  ScriptedDialogs dialogs;
  RecordingPump pump;
  RecordingDesktop desktop;
  UpdateSafeguards safeguards;
  safeguards.releasePublicKey = PublicKeyOf(secretKey);
  safeguards.pollInterval = std::chrono::milliseconds(10);
  UpdaterLogic updater(view, dialogs, pump, desktop, SettingsFor(server_), program.path(), safeguards);
  updater.Form_Load();
  EXPECT_EQ(view.news, W("Snabbare, säkrare"));
  updater.Label3_Click();

  EXPECT_TRUE(dialogs.shown().empty()) << server_.log();
  EXPECT_TRUE(updater.finished());
  EXPECT_EQ(ReadBytes(program / "Vimo"), HealthyBuild());
  EXPECT_EQ(ReadBytes(program / "new-build-ran.txt"), "ran\n");
  EXPECT_FALSE(fs::exists(TrialMarkerPath(program.path())));
  EXPECT_FALSE(fs::exists(PreviousProgramPath(program.path())));
}

}  // namespace
