#pragma once
// The start-up window's logic (`Vimo_load`): on one FTP connection it downloads and checks the
// shared brain, restores it from the server backup, refreshes the two server backups, reads the
// version record (handing over to the updater when a newer build exists), fetches the holiday
// image and the flag messages, counts this computer on its first run, and hands over to the main
// window. The window only draws what StartupView is told and forwards its timer tick.
//
// The step machine is flat: every step makes its transfer, learns the transfer's outcome, and
// returns the step that follows, so a step whose transfer failed never runs the next one as if it
// had worked; oFTP_TransferCompleted runs the steps on from where the machine stands. The steps the program
// cannot do without (the connection, the brain and its restore) end the start in the start-up error (the
// no-internet dialog, then the end of the program); the others (the backups, the version record, the holiday
// image, the flag messages, the user list) print their errors and the start goes on without them.
// Every transfer is bounded by the FTP client's limits and every wait by its own bound, so the
// window always ends in the main window, the updater or an error. Once the sequence has ended the
// program, handed over, or been abandoned, every handler returns at once.
//
// Not copyable. The view, the values and the services are borrowed and must outlive the sequence;
// the sequence owns its CFtp for as long as it lives.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Platform.h"
#include "ProgramValues.h"
#include "Settings.h"
#include "SharedBrain.h"
#include "ftp/CFtp.h"

// The check boxes of the window, top to bottom.
enum class StartupCheck { Steg1_chk, Steg1_Del2_chk, Steg2_chk, Steg3_chk };

// The red notices, hidden at start.
enum class StartupNotice {
  Speciellbild_info,
  Användarnummer_info,
  Inet_information,
  Hjärnaförstörd_lbl1,
  Hjärnaförstörd_lbl2
};

// What the sequence asks of its window. Texts are Windows-1252.
class StartupView {
 public:
  virtual ~StartupView() = default;
  virtual void StopTimer() = 0;
  // Bil's left edge, in twips.
  virtual void MoveCar(int leftTwips) = 0;
  virtual void Check(StartupCheck box) = 0;
  virtual void ShowNotice(StartupNotice notice, bool visible) = 0;
  // The caption of Användarnummer_info.
  virtual void SetUserCountText(const std::string& text) = 0;
  // A status or error line on the window's surface, below the previous one.
  virtual void PrintLine(const std::string& text) = 0;
  // Load and show the main window, then close this one.
  virtual void HandOver() = 0;
  // End the program at once.
  virtual void EndProgram() = 0;
};

struct StartupServices {
  Dialogs& dialogs;
  Waiter& waiter;
  EventPump& pump;
  Desktop& desktop;
};

class StartupSequence final : private CFtpListener {
 public:
  enum class Outcome { Running, HandedOver, Ended };

  // folder: the program folder holding the local files (production: the current folder, "").
  // computerName: what ComputerName() answers (production: the machine's name).
  StartupSequence(StartupView& view, ProgramValues& values, StartupServices services, ServerSettings settings,
                  std::filesystem::path folder = {}, std::string computerName = ::ComputerName());
  ~StartupSequence() override;
  StartupSequence(const StartupSequence&) = delete;
  StartupSequence& operator=(const StartupSequence&) = delete;

  // The first tick opens the connection and starts the first transfer; later ticks do nothing.
  void Timer_laddanerbrain_Timer();

  void oFTP_ErrorMsg(const std::string& sErr);
  void oFTP_StatusMsg(const std::string& Msg);
  void oFTP_TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize);
  void oFTP_TransferCompleted();

  // The user closed the window before the sequence was done: stop it like an end of the program.
  void Abandon();

  const std::string& ComputerName() const { return computerName_; }
  Outcome outcome() const { return outcome_; }
  int CarLeft() const { return carLeft_; }

 private:
  // CFtpListener: the events of oFTP.
  void ErrorMsg(const std::string& sErr) override { oFTP_ErrorMsg(sErr); }
  void StatusMsg(const std::string& Msg) override { oFTP_StatusMsg(Msg); }
  void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) override {
    oFTP_TransferProgress(nPercent, fBytesReceived, fFileSize);
  }
  // The outcome of a transfer is its call's result; the machine moves on once the call is back.
  void TransferCompleted() override {}

  // The steps in the order a normal first start takes them; each returns the one that follows
  // (Done once the sequence has ended the program, handed over, or been abandoned).
  enum class Step {
    CheckBrain,
    RestoreBrain,
    RefreshBackups,
    RequestVersion,
    CheckVersion,
    FetchHolidayImage,
    FetchFlagMessages,
    FetchUserList,
    CountComputer,
    HandOver,
    Done
  };
  // Runs the steps from `step` on, letting pending window events run before each.
  void RunFrom(Step step);
  Step Run(Step step);
  Step CheckBrain();
  // Whether the downloaded brain is whole by the listing's references; `counted` gets its records
  // and `listing` the login folder as the check saw it.
  bool CheckDownloadedBrain(BrainRecords& counted, RootListing& listing);
  // Downloads whose errors are printed and counted, for the brain's checks and repair.
  FetchFile QuietFetch();
  // Puts the brain as downloaded in place of one backup; false when the server refused.
  bool WriteBackup(std::string_view remoteName);
  Step RestoreBrain();
  Step RefreshServerBackups();
  Step RequestVersionRecord();
  Step CheckVersion();
  Step FetchHolidayImage();
  Step FetchFlagMessages();
  Step FetchUserList();
  Step CountComputer();
  Step HandOverToMainWindow();

  // The holiday image keeps an older copy; a picture from an earlier holiday beats none.
  enum class KeepOldCopy { No, Yes };
  // True when the whole file arrived and no error was reported on the way.
  // maxBytes bounds what the server may send (0: the client's own bound, for the brain).
  bool Download(std::string_view remoteName, std::string_view localName, KeepOldCopy keep = KeepOldCopy::No,
                std::uint64_t maxBytes = 0);
  // Runs a call whose errors the start can live with: they are printed, no dialog is shown.
  bool Tolerated(const std::function<bool()>& call);
  // A step the program cannot do without has failed: make sure the user was told, then end.
  void FailStart();
  void RegisterUnderLock();
  std::filesystem::path Local(std::string_view utf8Name) const;
  void MoveCar(int leftTwips);
  void ShowRestoreFailure();
  void EndProgram();
  bool Stopped() const { return outcome_ != Outcome::Running; }

  StartupView& view_;
  ProgramValues& values_;
  StartupServices services_;
  ServerSettings settings_;
  std::filesystem::path folder_;
  std::string computerName_;
  std::unique_ptr<CFtp> oFTP;

  Outcome outcome_ = Outcome::Running;
  bool started_ = false;
  int carLeft_ = 120;
  // Where the machine stands, and whether it is running its steps now.
  Step next_ = Step::Done;
  bool running_ = false;
  bool quiet_ = false;
  int UnknownErrorsIgnored = 0;
};
