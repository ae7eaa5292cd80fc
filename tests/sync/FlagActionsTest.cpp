// The flag tabs and buttons of the main window against a real FTP server: showing the two
// messages, fetching them again, and replacing the users' message.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakePlatform.h"
#include "FlagAndShutdownFakes.h"
#include "MainWindowServer.h"
#include "SyncTestFiles.h"
#include "TestServerSettings.h"
#include "Windows1252.h"

namespace {

const std::string kLocalFlags = W("Hej| alla\r\nAdmin säger hej| vänner\r\n");
const std::string kServerFlags = W("Nytt från servern| kul\r\nAdmin säger hej| vänner\r\n");

std::string FlagErrorText() {
  return W(
      "Uppdateringen av flaggmeddelandet misslyckades. Se till att du är uppkopplad mot internet, och "
      "försök sedan igen.");
}

class FlagTest : public MainWindowServerTest {
 protected:
  void StartServer(std::vector<std::string> switches = {}) {
    ftp = std::make_unique<FtpTestServer>(std::move(switches));
    ftp->WriteText("medd.txt", kServerFlags);
    settings = SettingsFor(*ftp);
    WriteBytes(folder / "medd.txt", kLocalFlags);
  }

  std::string LocalFlags() const { return ReadBytes(folder / "medd.txt"); }
  int FlagErrorDialogs() const { return dialogs.CountTitled("Fel!"); }
  int UploadErrorDialogs() const { return dialogs.CountTitled(W("Vimo - Fel!")); }
};

TEST_F(FlagTest, TabsSwitchTheMessageAndTheButtons) {
  WriteBytes(folder / "medd.txt", kLocalFlags);

  Handlers().Flaggmeddelande_Knapp_Click();
  EXPECT_EQ(window.selectedTab, FlagTab::Users);
  EXPECT_TRUE(window.buttonsEnabled);
  EXPECT_EQ(window.flagText(), "Hej, alla");

  Handlers().Adminmeddelande_Knapp_Click();
  EXPECT_EQ(window.selectedTab, FlagTab::Admin);
  EXPECT_FALSE(window.buttonsEnabled);
  EXPECT_EQ(window.flagText(), W("Admin säger hej, vänner"));

  // Without a local file both tabs show an empty flag.
  std::filesystem::remove(folder / "medd.txt");
  Handlers().Flaggmeddelande_Knapp_Click();
  EXPECT_EQ(window.flagText(), "");
  Handlers().Adminmeddelande_Knapp_Click();
  EXPECT_EQ(window.flagText(), "");
}

TEST_F(FlagTest, RefreshFetchesTheServersMessages) {
  StartServer();
  Handlers().Cmd_Uppdatera_Click();

  EXPECT_EQ(LocalFlags(), kServerFlags);
  ASSERT_GE(window.flagTexts.size(), 2u);
  EXPECT_EQ(window.flagTexts[window.flagTexts.size() - 2], "Uppdaterar...");
  EXPECT_EQ(window.flagText(), W("Nytt från servern, kul"));
  EXPECT_EQ(pump.calls, 1);
  EXPECT_FALSE(Handlers().FlagOperation());
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(FlagTest, ReplaceStoresCommasAsBarsAndShowsTheMessageFetchedBack) {
  StartServer();
  dialogs.TypeNext(W("Hej, du! Vimo | bäst"));

  Handlers().Ändraflagga_Click();

  ASSERT_EQ(dialogs.asked().size(), 1u);
  EXPECT_EQ(dialogs.asked()[0].title, W("Ändra flaggmeddelande"));
  EXPECT_EQ(dialogs.asked()[0].prompt,
            W("Skriv ett nytt meddelande som ska visas på Vimos flagga. (Inte mer än 200 tecken.)"));
  EXPECT_EQ(dialogs.asked()[0].defaultText, "Hej| alla");  // as stored

  // The administrator's line travels unchanged; the comma is stored as "|".
  const std::string expected = W("Hej| du! Vimo | bäst\r\nAdmin säger hej| vänner\r\n");
  EXPECT_EQ(ftp->ReadText("medd.txt"), expected);
  EXPECT_EQ(LocalFlags(), expected);
  // A typed "|" comes back as a comma too, once stored and read back.
  EXPECT_EQ(window.flagText(), W("Hej, du! Vimo , bäst"));
  EXPECT_NE(std::find(window.flagTexts.begin(), window.flagTexts.end(), W("Vänta... Flaggan uppdateras...")),
            window.flagTexts.end());
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_FALSE(Handlers().FlagOperation());
}

TEST_F(FlagTest, MessageOf200CharactersIsAcceptedAnd201IsAskedAgain) {
  StartServer();
  const std::string tooLong(201, 'x');
  const std::string longest = std::string(199, 'y') + W("å");
  dialogs.TypeNext(tooLong);
  dialogs.AnswerNext(DialogAnswer::Ok);
  dialogs.TypeNext(longest);

  Handlers().Ändraflagga_Click();

  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].title, "Fel!");
  EXPECT_EQ(dialogs.shown()[0].text,
            W("Din text är 201 tecken lång, men maxlängd är 200 tecken. Var vänlig förkorta texten."));
  EXPECT_EQ(dialogs.shown()[0].buttons, DialogButtons::Ok);
  ASSERT_EQ(dialogs.asked().size(), 2u);
  EXPECT_EQ(dialogs.asked()[1].defaultText, tooLong);
  EXPECT_EQ(ftp->ReadText("medd.txt"), longest + W("\r\nAdmin säger hej| vänner\r\n"));
  EXPECT_EQ(window.flagText(), longest);
}

TEST_F(FlagTest, CancelledOrEmptiedPromptChangesNothing) {
  StartServer();
  dialogs.TypeNext("");  // cancelled
  Handlers().Ändraflagga_Click();

  dialogs.TypeNext(std::string(250, 'z'));  // too long, then emptied
  dialogs.AnswerNext(DialogAnswer::Ok);
  dialogs.TypeNext("");
  Handlers().Ändraflagga_Click();

  EXPECT_EQ(LocalFlags(), kLocalFlags);
  EXPECT_EQ(ftp->ReadText("medd.txt"), kServerFlags);
  EXPECT_TRUE(window.flagTexts.empty());
  EXPECT_EQ(pump.calls, 0);
  EXPECT_EQ(dialogs.asked().size(), 3u);
}

TEST_F(FlagTest, FailedUploadKeepsTheNewMessageLocallyAndTheServersUntouched) {
  StartServer({"--fail-name", "medd.txt"});
  dialogs.AnswerAllWithDefault();
  dialogs.TypeNext("Lokalt, bara");

  Handlers().Ändraflagga_Click();

  EXPECT_EQ(LocalFlags(), W("Lokalt| bara\r\nAdmin säger hej| vänner\r\n"));
  EXPECT_EQ(ftp->ReadText("medd.txt"), kServerFlags);
  EXPECT_EQ(window.flagText(), "Lokalt, bara");
  // Every error of the action is a flag error, even after a transfer completed in between.
  EXPECT_GE(FlagErrorDialogs(), 1);
  EXPECT_EQ(UploadErrorDialogs(), 0);
  EXPECT_FALSE(values.UploadRetry);
  EXPECT_EQ(uploadWindow.ErrorLines(), 0);
  for (const auto& shown : dialogs.shown()) EXPECT_EQ(shown.text, FlagErrorText());
}

TEST_F(FlagTest, ServerDownShowsTheFlagDialogAndKeepsTheLocalMessages) {
  StartServer();
  ftp->Stop();
  dialogs.AnswerAllWithDefault();

  Handlers().Cmd_Uppdatera_Click();

  // Two errors (no connection, no session): the first asks, the second is the silent turn.
  EXPECT_EQ(FlagErrorDialogs(), 1);
  EXPECT_EQ(UploadErrorDialogs(), 0);
  EXPECT_EQ(LocalFlags(), kLocalFlags);
  EXPECT_EQ(window.flagText(), "Hej, alla");
  EXPECT_FALSE(values.FlagErrorShown);
}

TEST_F(FlagTest, FlagErrorDialogAppearsOnTheFirstAndThirdErrorOnly) {
  StartServer();
  dialogs.AnswerAllWithDefault();
  // Three errors while the refresh runs, before its transfer: the 2nd clears FlagOperation, and
  // the 3rd must still count as a flag error.
  pump.hook = [&] {
    for (int i = 0; i < 3; ++i) Handlers().oFTP_ErrorMsg("!Request timed out");
  };
  std::vector<bool> flagOperationWhenShown;
  dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
    flagOperationWhenShown.push_back(Handlers().FlagOperation());
  };

  Handlers().Cmd_Uppdatera_Click();

  EXPECT_EQ(FlagErrorDialogs(), 2);
  EXPECT_EQ(UploadErrorDialogs(), 0);
  EXPECT_EQ(flagOperationWhenShown, (std::vector<bool>{true, false}));
  EXPECT_TRUE(values.FlagErrorShown);
  // The transfer itself went through.
  EXPECT_EQ(LocalFlags(), kServerFlags);

  // The alternation runs on into the next action: its next error is the silent turn.
  pump.hook = [&] { Handlers().oFTP_ErrorMsg("!Request timed out"); };
  Handlers().Cmd_Uppdatera_Click();
  EXPECT_EQ(FlagErrorDialogs(), 2);
  EXPECT_FALSE(values.FlagErrorShown);
}

TEST_F(FlagTest, CloseDuringAFlagActionIsRefusedAndUploadsNothing) {
  StartServer();
  WriteBytes(folder / "brain.txt", BrainText(1500));
  ftp->WriteText("brain.txt", BrainText(1600));
  bool nestedCancel = false;
  int nestedClicks = 0;
  pump.hook = [&] {
    Handlers().Form_Unload(nestedCancel);
    Handlers().Cmd_Uppdatera_Click();  // a second click while the first runs does nothing
    ++nestedClicks;
  };

  Handlers().Cmd_Uppdatera_Click();

  EXPECT_EQ(nestedClicks, 1);
  EXPECT_TRUE(nestedCancel);
  EXPECT_EQ(uploadWindow.timesShown, 0);
  EXPECT_TRUE(ftp->ReadText("brain.txt") == BrainText(1600));
  EXPECT_TRUE(ReadBytes(folder / "brain.txt") == BrainText(1500));
  EXPECT_FALSE(Handlers().ProgramEnding());
  EXPECT_EQ(window.flagText(), W("Nytt från servern, kul"));

  // Once the action is over the close goes ahead; having learnt nothing, it sends nothing.
  pump.hook = nullptr;
  bool cancel = false;
  Handlers().Form_Unload(cancel);
  EXPECT_FALSE(cancel);
  EXPECT_TRUE(Handlers().ProgramEnding());
  EXPECT_TRUE(ftp->ReadText("brain.txt") == BrainText(1600));
}

}  // namespace
