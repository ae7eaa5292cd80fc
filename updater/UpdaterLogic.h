#pragma once
// What the updater's window Vupdater_start does, without the window: it puts back a program whose
// trial was cut short, reads the version record left by Vimo, shows the news, downloads the new main
// program on "HÄR", installs it only when it is a signed release of the announced version above the
// installed one (UpdateTrial.h), and keeps it only when it starts well.
//
// The download never touches the installed program until it has arrived whole: the program and its
// signature go to temporary files in the program folder, and only a GetFile that returned true
// without an error report, an Ed25519 signature by the release key over the bytes and the announced
// version (Release.h), and an executable of this platform let it replace the program. Anything else
// is refused through the error dialog and leaves the installed program byte for byte as it was. A
// refused version is recorded, so the start-up goes on to the chat instead of handing over for it
// again, and No in the dialog starts the installed Vimo.
//
// The download and the trial marker are on the disk before the download takes the program's name,
// and the new program gets the old one's permissions. The replaced program is kept as the previous
// one (UpdateTrial.h). The new program is started and watched, under the watch lock: it confirms
// once its main window is shown; if it ends before that, or has not confirmed within the
// healthy-start bound (it is then stopped), the previous program is put back, the user is told why,
// and the previous program is started.
//
// Re-entrancy: CFtp delivers its events inside GetFile, and Yes in the error dialog starts the next
// attempt from inside the error event, so attempts nest on the stack. Each attempt keeps its own
// CFtp alive until its GetFile has returned; only the newest connection's events reach the
// handlers, as a window variable that has been assigned a new object no longer hears the old one.
// Once the program has been told to end (finished()), unwinding attempts only clean up after
// themselves.
//
// Texts passed to the view are Windows-1252, like all core text. The view, dialogs, pump, desktop
// and the safeguards' runner and waiter are not owned and must outlive the logic. Single-threaded;
// not copyable.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Platform.h"
#include "ProgramRunner.h"
#include "Release.h"
#include "Settings.h"

// The controls of Vupdater_start that the handlers change.
class UpdaterView {
 public:
  virtual ~UpdaterView() = default;
  // Label1, the status line.
  virtual void SetStatusText(const std::string& text) = 0;
  // Nyheter, the news of the new version.
  virtual void SetNewsText(const std::string& text) = 0;
  // Label3, the "HÄR" download button.
  virtual void SetDownloadEnabled(bool enabled) = 0;
  // Closes the window, which ends the program.
  virtual void CloseWindow() = 0;
};

// "10" for 10, "9.5" for 9.5: the fewest digits that read back as the same float, never with an
// exponent.
std::string ShortestDecimal(float value);
// The same for the byte counts of the progress line: 1234 gives "1234", not "1234.0" or "1.234e+03".
std::string PlainDecimal(double value);

// How long a new program may take from its start to its main window before it counts as failed.
// Its start-up downloads and backs up the brain, with fixed pauses of up to six seconds.
inline constexpr std::chrono::seconds kHealthyStartBound{120};

// What the updater trusts and how it watches the new program; production uses the defaults.
struct UpdateSafeguards {
  // Raw Ed25519 public key of the release key.
  std::string releasePublicKey = CompiledReleasePublicKey();
  std::chrono::milliseconds healthyStartBound = kHealthyStartBound;
  std::chrono::milliseconds pollInterval{100};
  // Null: real child processes and real sleeps.
  ProgramRunner* runner = nullptr;
  Waiter* waiter = nullptr;
};

class UpdaterLogic {
 public:
  // `programFolder` holds "version.txt" and the main program (production: the current folder, an
  // empty path).
  UpdaterLogic(UpdaterView& view, Dialogs& dialogs, EventPump& pump, Desktop& desktop, ServerSettings server,
               std::filesystem::path programFolder, UpdateSafeguards safeguards = {});
  ~UpdaterLogic();
  UpdaterLogic(const UpdaterLogic&) = delete;
  UpdaterLogic& operator=(const UpdaterLogic&) = delete;

  // Runs first: the announcement from "version.txt", or (without it) the offer to start Vimo, after
  // which the program ends.
  void Form_Load();
  // The "HÄR" button: one download attempt, with everything that follows from it.
  void Label3_Click();

  // The events of oFTP.
  void oFTP_ErrorMsg(const std::string& sErr);
  void oFTP_StatusMsg(const std::string& Msg);
  void oFTP_TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize);
  void oFTP_TransferCompleted();

  // True once the window has been told to close; nothing else happens after that.
  bool finished() const { return finished_; }
  bool DownloadErrorShown() const { return downloadErrorShown_; }

 private:
  class Connection;

  void Finish();
  // The version from "version.txt", read once; nothing when there is no record.
  std::optional<float> AnnouncedVersion();
  // "" when a release of the announced version may be installed here (it is above the installed
  // one); else the reason, in Swedish, why it is refused.
  std::string CheckAnnouncedVersion();
  // "" when the downloaded files are a release of `version` for this build; else the reason, in
  // Swedish, why they are refused.
  std::string CheckRelease(const std::filesystem::path& program, const std::filesystem::path& signature,
                           float version) const;
  // The refusal dialog: unlike the transfer errors, every refusal is shown, and recorded so that the
  // start-up does not hand over for the same release again.
  void Refuse(const std::string& reason);
  // The error dialog, with a new attempt on Yes; on No the end of the program, after starting the
  // installed Vimo when the start-up will not hand over again for this release.
  void ShowDownloadError(const std::string& sErr);
  // Keeps the installed program as the previous one and moves the download over it; the caller
  // holds the watch. Returns "" or the reason it failed.
  std::string InstallDownload(const std::filesystem::path& download, float version);
  // Starts the new program and waits for its confirmation; reverts when it does not come.
  void TryNewProgram(float version);
  void Revert(float version, const std::string& why);

  UpdaterView& view_;
  Dialogs& dialogs_;
  EventPump& pump_;
  Desktop& desktop_;
  ServerSettings server_;
  std::filesystem::path programFolder_;
  UpdateSafeguards safeguards_;
  std::unique_ptr<ProgramRunner> ownRunner_;
  std::unique_ptr<Waiter> ownWaiter_;
  std::optional<float> announcedVersion_;

  // oFTP: the newest connection. Older ones live on in the attempts still on the stack.
  std::shared_ptr<Connection> oFTP;
  bool downloadErrorShown_ = false;
  bool finished_ = false;
  int attempts_ = 0;
};
