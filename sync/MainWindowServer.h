#pragma once
// The main window's exchanges with the server: the flag tabs and buttons, and the shutdown upload
// run by closing the window. One object per main window; the window forwards its handlers here and
// shows what this class sets through MainWindowView. The upload window `Vimo_close` is reached
// through UploadWindow. Both views, the values, the dialogs and the pump are not owned and must
// outlive this object.
//
// The object owns the window's FTP client `oFTP`, created anew for every action and released with
// this object. Its four events arrive synchronously inside the client's calls and are handled by the
// oFTP_ handlers below.
//
// Re-entrancy: the handlers may be called from inside EventPump::ProcessEvents or a modal dialog of
// another handler. While one action (a flag action or the shutdown) runs, the others do nothing and
// a close request is cancelled, so the client is never replaced under a call in progress. Once the
// shutdown has let the program end, every handler does nothing.
//
// Files live in `folder` (production: the current folder): "brain.txt", "brain_backup.txt",
// "medd.txt", "version.txt". Texts are Windows-1252.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "LessonJournal.h"
#include "Platform.h"
#include "ProgramValues.h"
#include "ServerLayout.h"
#include "Settings.h"
#include "SharedFiles.h"
#include "ftp/CFtp.h"

enum class FlagTab { Users, Admin };

// The main window's controls that the flag actions and the shutdown touch.
class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  // `Medd`: the flag text, in the shown form (commas, not "|").
  virtual void SetFlagText(const std::string& text) = 0;
  // The selected tab label gets a red background (255, 0, 0), the other a white one.
  virtual void SelectFlagTab(FlagTab tab) = 0;
  // `Ändraflagga` and `Cmd_Uppdatera` together.
  virtual void SetFlagButtonsEnabled(bool enabled) = 0;
  // Brings the main window back in front after a failed upload the user wants to retry later.
  virtual void ShowAgain() = 0;
};

// The upload window `Vimo_close`.
class UploadWindow {
 public:
  virtual ~UploadWindow() = default;
  // Shows the window with an empty surface.
  virtual void Show() = 0;
  // Prints the text as a new line below the ones already printed, visible or not.
  virtual void PrintLine(const std::string& text) = 0;
  // Asks the window to close; it refuses unless ProgramValues::CloseWindowMayClose is set.
  virtual void Close() = 0;
};

class MainWindowServer final : private CFtpListener {
 public:
  // The longest users' flag message, in characters as entered.
  static constexpr std::size_t kMaxFlagMessageLength = 200;

  // settings: the account every action connects to (production: ReadServerSettings()).
  MainWindowServer(MainWindowView& view, UploadWindow& uploadWindow, ProgramValues& values, Dialogs& dialogs,
                   EventPump& pump, ServerSettings settings, std::filesystem::path folder = {});
  ~MainWindowServer() override;
  MainWindowServer(const MainWindowServer&) = delete;
  MainWindowServer& operator=(const MainWindowServer&) = delete;

  // The pauses between attempts to take the server's lock (production: a sleeping waiter; by
  // default the object sleeps on its own). Borrowed; must outlive this object.
  void SetWaiter(Waiter& waiter) { waiter_ = &waiter; }
  // This computer's clock, which times how often a held lock is touched (production: the system's).
  void SetClock(UtcClock clock) { clock_ = std::move(clock); }

  // The main window's close request. Sets Cancel when the window must stay open (the user chose to
  // retry a failed upload, the brain could not be backed up, or another action is running); leaves
  // it as given otherwise, and then the program is to end.
  void Form_Unload(bool& Cancel);

  void Flaggmeddelande_Knapp_Click();
  void Adminmeddelande_Knapp_Click();
  void Cmd_Uppdatera_Click();
  void Ändraflagga_Click();

  void oFTP_ErrorMsg(const std::string& sErr);
  void oFTP_StatusMsg(const std::string& Msg);
  void oFTP_TransferProgress(std::int32_t nPercent, double fBytesReceived, double fFileSize);
  void oFTP_TransferCompleted();

  // True while a flag action's transfers run; errors then belong to the flag action.
  bool FlagOperation() const { return flagOperation_; }
  // True once the shutdown has decided that the program ends.
  bool ProgramEnding() const { return ending_; }

 private:
  enum class Action { None, Flag, Upload };
  class ActionScope;

  void ErrorMsg(const std::string& sErr) override { oFTP_ErrorMsg(sErr); }
  void StatusMsg(const std::string& Msg) override { oFTP_StatusMsg(Msg); }
  void TransferProgress(std::int32_t nPercent, double fBytesReceived, double fFileSize) override {
    oFTP_TransferProgress(nPercent, fBytesReceived, fFileSize);
  }
  void TransferCompleted() override { oFTP_TransferCompleted(); }

  bool Busy() const { return ending_ || action_ != Action::None; }
  void OpenConnection();
  void RefreshFlag();
  // Replays this copy's lesson journal onto the shared brain under the server's lock; the journal
  // forgets the lessons once the server holds them. A copy that learnt nothing sends nothing.
  void UploadBrain();
  bool MergeUnderLock(ServerLock& lock, const std::vector<Lesson>& lessons);
  // Puts the new users' message on the server under the lock, with the administrator's line as the
  // server has it now.
  void SendFlagMessage(const std::string& answer, const std::string& localAdmin);
  void AskWhetherToRetry();
  void DismissUploadWindow();
  void EndProgram();
  std::filesystem::path File(std::string_view utf8Name) const { return LocalFile(folder_, utf8Name); }

  MainWindowView& view_;
  UploadWindow& uploadWindow_;
  ProgramValues& values_;
  Dialogs& dialogs_;
  EventPump& pump_;
  ServerSettings settings_;
  std::filesystem::path folder_;

  std::unique_ptr<CFtp> oFTP;
  SleepingWaiter sleepingWaiter_;
  Waiter* waiter_ = &sleepingWaiter_;
  UtcClock clock_ = SystemUtcSeconds;
  // The lock the shutdown holds while it merges; its transfers' progress keeps it alive.
  ServerLock* heldLock_ = nullptr;
  bool flagOperation_ = false;
  Action action_ = Action::None;
  bool ending_ = false;
  // Error reports and retry questions of the upload attempt in progress.
  int uploadErrors_ = 0;
  int uploadQuestions_ = 0;
};
