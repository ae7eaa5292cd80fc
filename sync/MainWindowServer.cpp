#include "MainWindowServer.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "BrainStore.h"
#include "FlagMessagesFile.h"
#include "ServerLayout.h"
#include "SpeechVoice.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace {

std::string RandomSuffix() {
  std::random_device device;
  char text[17];
  std::snprintf(text, sizeof text, "%08x%08x", device(), device());
  return text;
}

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
  const std::size_t cells =
      brain ? static_cast<std::size_t>(std::count(brain->begin(), brain->end(), '*')) : 0;
  if (cells < kWholeBrainCells) {
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
  OpenConnection();
  // A connection dropped in mid-upload must not leave a cut brain as everyone's: a cut brain of
  // 1500 records or more would pass the next start's check and refresh both backups from itself.
  // So the brain goes up under a name of its own (random, so that two copies closing at once
  // never write into one file) and takes the shared name only once it has arrived whole.
  const std::string inProgress = std::string(remote::kBrainUploadInProgress) + RandomSuffix();
  if (oFTP->PutFile(File(local::kBrain), inProgress)) {
    oFTP->RenFile(inProgress, std::string(remote::kBrainUpload));
  }
  oFTP->CloseConnection();
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
  OpenConnection();
  oFTP->PutFile(File(local::kFlagMessages), std::string(remote::kFlagMessages));
  oFTP->CloseConnection();
  RefreshFlag();
}

void MainWindowServer::oFTP_ErrorMsg(const std::string& sErr) {
  // Errors belong to the flag action for as long as it runs, not only while FlagOperation is set:
  // a completed transfer or the silent turn clears that flag in mid-action, and the action's later
  // errors must not bring the upload's "go back to Vimo?" question.
  if (flagOperation_ || action_ == Action::Flag) {
    if (values_.FlagErrorShown) {
      flagOperation_ = false;
      values_.FlagErrorShown = false;
      return;
    }
    values_.FlagErrorShown = true;
    dialogs_.Show("Fel!",
                  W("Uppdateringen av flaggmeddelandet misslyckades. Se till att du är uppkopplad mot "
                    "internet, och försök sedan igen."),
                  DialogButtons::Ok);
    return;
  }

  uploadWindow_.PrintLine("Error: " + sErr);
  ++uploadErrors_;
  if (values_.UploadErrorShown) {
    values_.UploadErrorShown = false;
    return;
  }
  values_.UploadErrorShown = true;
  AskWhetherToRetry();
}

void MainWindowServer::AskWhetherToRetry() {
  ++uploadQuestions_;
  values_.UploadRetry =
      dialogs_.Show(W("Vimo - Fel!"), UploadErrorText(), DialogButtons::YesNo) == DialogAnswer::Yes;
}

void MainWindowServer::oFTP_StatusMsg(const std::string& Msg) {
  uploadWindow_.PrintLine(Msg);
}

void MainWindowServer::oFTP_TransferProgress(std::int32_t, double, double) {}

void MainWindowServer::oFTP_TransferCompleted() {
  if (flagOperation_) flagOperation_ = false;
}
