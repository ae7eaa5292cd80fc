#include "MainWindowServer.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "BrainRecords.h"
#include "BrainStore.h"
#include "EveryOtherError.h"
#include "FlagMessagesFile.h"
#include "LessonJournal.h"
#include "ServerLayout.h"
#include "SharedBrain.h"
#include "SharedFiles.h"
#include "SpeechVoice.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

constexpr std::int32_t kAsciiTransfer = 1;

std::string CriticalErrorText() {
  return W(
      "Du var just precis nära att förstöra hela Vimos hjärna! På något sätt har du nollställt "
      "hjärnan, och nu höll du på att ladda upp den!\n\n"
      "Nollställningen kan bero på någon av dessa orsaker:\n\n"
      "1: Du körde Vimo direkt, utan att zippa upp först. Du måste zippa upp Vimo innan du kan "
      "köra det.\n"
      "2: Du är släkt med Fenrok, och raderade hela hjärnan med flit. GÖR INTE DET! VIMO SER ALLT!"
      "\n\n"
      "Försäkra dig om att du inte gjort något av ovanstående, och kör sedan Vimo igen. Vimo "
      "stängs nu av.");
}

std::string UploadErrorText() {
  return W(
      "Ett fel uppstod. Är du ansluten till internet?\n\n"
      "Gå tillbaks till Vimo och försöka igen? (Trycker du nej sparas inte det nya du lärt honom.)");
}

}  // namespace

// Marks one action as running for the span of a handler, so that handlers called nested inside it
// (through the event pump or a modal dialog) leave the connection alone.
class MainWindowServer::ActionScope {
 public:
  ActionScope(MainWindowServer& server, Action action) : server_(server) { server_.action_ = action; }
  ~ActionScope() { server_.action_ = Action::None; }
  ActionScope(const ActionScope&) = delete;
  ActionScope& operator=(const ActionScope&) = delete;

 private:
  MainWindowServer& server_;
};

MainWindowServer::MainWindowServer(MainWindowView& view, UploadWindow& uploadWindow, ProgramValues& values,
                                   Dialogs& dialogs, EventPump& pump, ServerSettings settings,
                                   std::filesystem::path folder)
    : view_(view),
      uploadWindow_(uploadWindow),
      values_(values),
      dialogs_(dialogs),
      pump_(pump),
      settings_(std::move(settings)),
      folder_(std::move(folder)) {}

MainWindowServer::~MainWindowServer() {
  // The client's farewell may still raise events; nobody is left to hear them.
  if (oFTP) oFTP->SetListener(nullptr);
}

void MainWindowServer::OpenConnection() {
  if (oFTP) oFTP->SetListener(nullptr);
  oFTP = std::make_unique<CFtp>();
  oFTP->SetListener(this);
  oFTP->Port(settings_.port);
  oFTP->SetTls(settings_.tls);
  oFTP->SetTlsMemory(File(kTlsMemoryFile));
  oFTP->Connect(settings_.host, settings_.user, settings_.password, "");
  oFTP->TransferType(kAsciiTransfer);
}

void MainWindowServer::Form_Unload(bool& Cancel) {
  if (ending_) return;
  if (action_ != Action::None) {
    // A flag action, or this shutdown waiting in one of its dialogs, is in the middle of its
    // transfers; the user can close again once it is done.
    Cancel = true;
    return;
  }
  ActionScope scope(*this, Action::Upload);
  flagOperation_ = false;
  Adminmeddelande_Knapp_Click();

  // An absent or unreadable brain counts as an empty one: there is nothing whole to upload, and the
  // dialog tells the user that nothing was sent while the server keeps its copy.
  const auto brain = ReadFileBytes(File(local::kBrain));
  const std::uint64_t records = brain ? CountBrainRecordsIn(*brain).records : 0;
  if (records < kWholeBrainCells) {
    dialogs_.Show(W("Vimo - Kritiskt fel!"), CriticalErrorText(), DialogButtons::Ok);
    RemoveFile(File(local::kBrain));
    EndProgram();
    return;
  }

  uploadWindow_.Show();
  // The backup is what the retry path restores from; without a verified copy the brain is neither
  // uploaded nor deleted, and the chat stays open.
  const bool backedUp = WriteFileAtomically(File(local::kBrainBackup), *brain) &&
                        ReadFileBytes(File(local::kBrainBackup)) == brain;
  if (!backedUp) {
    RemoveFile(File(local::kBrainBackup));
    DismissUploadWindow();
    dialogs_.Show(W("Vimo - Fel!"),
                  W("Vimos hjärna kunde inte säkerhetskopieras på datorn, så den laddades inte upp. "
                    "Vimo hålls öppet så att inget av det du lärt honom går förlorat."),
                  DialogButtons::Ok);
    Cancel = true;
    return;
  }

  uploadErrors_ = 0;
  uploadQuestions_ = 0;
  UploadBrain();
  // The alternation may leave a failed attempt without a question; ending then would delete the
  // lessons although the user never chose to lose them, so such an attempt asks once at its end.
  if (uploadErrors_ > 0 && uploadQuestions_ == 0) AskWhetherToRetry();

  if (!values_.UploadRetry) {
    RemoveFile(File(local::kBrain));
    values_.CloseWindowMayClose = true;
    RemoveFile(File(local::kFlagMessages));
    RemoveFile(File(local::kVersionRecord));
    RemoveFile(File(local::kBrainBackup));
    uploadWindow_.Close();
    EndProgram();
    return;
  }

  // Back to the chat with the brain as it was. The local brain is left in place until the backup
  // has been written back over it, so a failing copy cannot lose it; the backup then stays too.
  if (CopyFileAtomically(File(local::kBrainBackup), File(local::kBrain)))
    RemoveFile(File(local::kBrainBackup));
  values_.UploadRetry = false;
  view_.ShowAgain();
  DismissUploadWindow();
  Cancel = true;
}

void MainWindowServer::UploadBrain() {
  const LessonJournal journal(File(kLessonJournalFile));
  const std::vector<Lesson> lessons = journal.Read();
  // Sending the whole brain back would undo what other copies sent since this one started.
  if (lessons.empty()) return;

  OpenConnection();
  if (oFTP->IsConnected()) {
    ServerLock lock(*oFTP, *waiter_, LockTiming{}, clock_);
    heldLock_ = &lock;
    const bool locked = lock.Acquire([this] {
      uploadWindow_.PrintLine(W("Väntar på att en annan Vimo ska bli klar..."));
      pump_.ProcessEvents();
    });
    if (!locked) {
      oFTP_ErrorMsg(lock.failure());
    } else if (MergeUnderLock(lock, lessons)) {
      lock.Release();
      // Entries recorded meanwhile stay; a journal that cannot be rewritten only sends its lessons
      // again, which the merge recognises.
      journal.Forget(lessons.size());
    }
    heldLock_ = nullptr;
  }
  oFTP->CloseConnection();
}

bool MainWindowServer::MergeUnderLock(ServerLock& lock, const std::vector<Lesson>& lessons) {
  const std::filesystem::path merged = File(local::kMergedBrain);
  std::error_code ignored;
  std::filesystem::create_directories(merged.parent_path(), ignored);
  RemoveFile(merged);

  // The backup and the repair's candidates are looked at quietly: the lessons do not depend on them.
  const auto fetch = [&](const std::string& remoteName, const std::filesystem::path& localFile) {
    RemoveFile(localFile);
    QuietErrors quiet(*oFTP);
    return static_cast<bool>(oFTP->GetFile(remoteName, localFile, false));
  };
  const std::optional<RootListing> listing = ListRootWithProbe(*oFTP, lock.owner());
  bool sent = false;
  if (!listing) {
    oFTP_ErrorMsg(W("!Kunde inte läsa servern. Det du lärt Vimo sparas till nästa gång."));
  } else {
    BrainCheck check(*listing, fetch, File(local::kBackupForComparison));
    const bool present = listing->Find(remote::kBrain) != nullptr;
    const bool fetched = present && oFTP->GetFile(std::string(remote::kBrain), merged, false);
    lock.RefreshIfDue();
    bool base = fetched && check.IsWhole(merged, remote::kBrain);
    if (present && !fetched) {
      // Only a brain received whole is merged onto; the lessons wait for the next close.
    } else if (!base) {
      // No brain, or a damaged one: the newest whole copy on the server takes its place.
      bool broken = false;
      base = check.FetchNewestWhole(merged, broken).has_value();
      if (!base && !broken)
        oFTP_ErrorMsg(
            W("!Den delade hjärnan på servern är skadad. Det du lärt Vimo sparas till nästa gång."));
    }
    lock.RefreshIfDue();
    if (!base) {
    } else if (!ApplyLessons(merged, lessons)) {
      oFTP_ErrorMsg(W("!Kunde inte skriva på datorn. Det du lärt Vimo sparas till nästa gång."));
    } else {
      const FtpOutcome upload =
          UploadInPlace(*oFTP, merged, std::string(remote::kBrainUpload), [&] { return lock.StillHeld(); });
      sent = upload;
      // A failure no call reported: the lock was lost, or the upload vanished before its rename.
      if (!upload && upload.text.empty()) {
        oFTP_ErrorMsg(W("!En annan Vimo tog över servern. Det du lärt Vimo sparas till nästa gång."));
      }
    }
  }
  RemoveFile(merged);
  if (sent) {
    RemoveLeftoverUploads(*oFTP, {remote::kBrainUpload, remote::kUserList, remote::kFlagMessages},
                          LockTiming{}.staleAfterSeconds, lock.owner());
  }
  return sent;
}

void MainWindowServer::DismissUploadWindow() {
  values_.CloseWindowMayClose = true;
  uploadWindow_.Close();
  values_.CloseWindowMayClose = false;
}

void MainWindowServer::EndProgram() {
  ending_ = true;
  if (values_.Voice) values_.Voice->Speak("", SpeechVoice::kPurgeBeforeSpeak);
}

void MainWindowServer::Flaggmeddelande_Knapp_Click() {
  if (ending_) return;
  view_.SelectFlagTab(FlagTab::Users);
  view_.SetFlagButtonsEnabled(true);
  view_.SetFlagText(BrainStore::ToShown(ReadFlagMessages(File(local::kFlagMessages)).users));
}

void MainWindowServer::Adminmeddelande_Knapp_Click() {
  if (ending_) return;
  view_.SelectFlagTab(FlagTab::Admin);
  view_.SetFlagButtonsEnabled(false);
  view_.SetFlagText(BrainStore::ToShown(ReadFlagMessages(File(local::kFlagMessages)).admin));
}

void MainWindowServer::Cmd_Uppdatera_Click() {
  if (Busy()) return;
  ActionScope scope(*this, Action::Flag);
  RefreshFlag();
}

void MainWindowServer::RefreshFlag() {
  flagOperation_ = true;
  view_.SetFlagText("Uppdaterar...");
  pump_.ProcessEvents();

  OpenConnection();
  CapDownloads(*oFTP, kSmallFileMaxBytes);
  oFTP->GetFile(std::string(remote::kFlagMessages), File(local::kFlagMessages), false);
  oFTP->CloseConnection();
  view_.SetFlagText(BrainStore::ToShown(ReadFlagMessages(File(local::kFlagMessages)).users));
}

void MainWindowServer::Ändraflagga_Click() {
  if (Busy()) return;
  ActionScope scope(*this, Action::Flag);

  const FlagMessages current = ReadFlagMessages(File(local::kFlagMessages));
  const std::string title = W("Ändra flaggmeddelande");
  const std::string prompt =
      W("Skriv ett nytt meddelande som ska visas på Vimos flagga. (Inte mer än 200 tecken.)");
  std::string answer = dialogs_.AskText(title, prompt, current.users);
  while (answer.size() > kMaxFlagMessageLength) {
    dialogs_.Show("Fel!",
                  W("Din text är ") + std::to_string(answer.size()) +
                      W(" tecken lång, men maxlängd är 200 tecken. Var vänlig förkorta texten."),
                  DialogButtons::Ok);
    answer = dialogs_.AskText(title, prompt, answer);
  }
  if (answer.empty()) return;

  view_.SetFlagText(W("Vänta... Flaggan uppdateras..."));
  pump_.ProcessEvents();

  if (!WriteFlagMessages(File(local::kFlagMessages), answer, current.admin)) {
    dialogs_.Show("Fel!", W("Det nya flaggmeddelandet kunde inte sparas på datorn, så det skickades inte."),
                  DialogButtons::Ok);
    view_.SetFlagText(BrainStore::ToShown(current.users));
    return;
  }

  flagOperation_ = true;
  SendFlagMessage(answer, current.admin);
  RefreshFlag();
}

void MainWindowServer::SendFlagMessage(const std::string& answer, const std::string& localAdmin) {
  OpenConnection();
  if (oFTP->IsConnected()) {
    ServerLock lock(*oFTP, *waiter_);
    if (!lock.Acquire()) {
      oFTP_ErrorMsg(lock.failure());
    } else {
      // The administrator edits the server's file; the copy fetched at start may be older, or
      // missing altogether. Only a server without the file leaves the local line to keep; a file
      // that is there but cannot be read stops the change, so the line is never guessed.
      const std::filesystem::path fresh = File(local::kFlagMessagesOnServer);
      std::error_code ignored;
      std::filesystem::create_directories(fresh.parent_path(), ignored);
      RemoveFile(fresh);
      bool present = true;
      {
        QuietErrors quiet(*oFTP);
        present = oFTP->FileExist(std::string(remote::kFlagMessages));
      }
      CapDownloads(*oFTP, kSmallFileMaxBytes);
      const bool fetched = !present || oFTP->GetFile(std::string(remote::kFlagMessages), fresh, false);
      CapDownloads(*oFTP, 0);
      const std::string admin = present ? ReadFlagMessages(fresh).admin : localAdmin;
      if (fetched && WriteFlagMessages(File(local::kFlagMessages), answer, admin)) {
        UploadInPlace(*oFTP, File(local::kFlagMessages), std::string(remote::kFlagMessages),
                      [&] { return lock.StillHeld(); });
      }
      RemoveFile(fresh);
    }
  }
  oFTP->CloseConnection();
}

void MainWindowServer::oFTP_ErrorMsg(const std::string& sErr) {
  // Errors belong to the flag action for as long as it runs, not only while FlagOperation is set:
  // a completed transfer or the silent turn clears that flag in mid-action, and the action's later
  // errors must not bring the upload's "go back to Vimo?" question.
  if (flagOperation_ || action_ == Action::Flag) {
    if (!EveryOtherError(values_.FlagErrorShown).DialogDue()) {
      flagOperation_ = false;
      return;
    }
    dialogs_.Show("Fel!",
                  W("Uppdateringen av flaggmeddelandet misslyckades. Se till att du är uppkopplad mot "
                    "internet, och försök sedan igen."),
                  DialogButtons::Ok);
    return;
  }

  uploadWindow_.PrintLine("Error: " + sErr);
  ++uploadErrors_;
  if (EveryOtherError(values_.UploadErrorShown).DialogDue()) AskWhetherToRetry();
}

void MainWindowServer::AskWhetherToRetry() {
  ++uploadQuestions_;
  values_.UploadRetry =
      dialogs_.Show(W("Vimo - Fel!"), UploadErrorText(), DialogButtons::YesNo) == DialogAnswer::Yes;
}

void MainWindowServer::oFTP_StatusMsg(const std::string& Msg) {
  uploadWindow_.PrintLine(Msg);
}

void MainWindowServer::oFTP_TransferProgress(std::int32_t, double, double) {
  // A long merge keeps its lock alive while its transfers run.
  if (heldLock_) heldLock_->RefreshIfDue(true);
}

void MainWindowServer::oFTP_TransferCompleted() {
  if (flagOperation_) flagOperation_ = false;
}
