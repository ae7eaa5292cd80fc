#pragma once
// What the updater's window Vupdater_start does, without the window: it reads the version record
// left by Vimo, shows the news, downloads the new main program on "HÄR" and starts it.
//
// The download never touches the installed program until it has arrived whole: it goes to a
// temporary file in the program folder, and only a GetFile that returned true without an error
// report replaces the program (rename over it, execute bits added) and starts it. A failed or
// partial download leaves the installed program byte for byte as it was and removes the temporary
// file; the error dialog then decides between a new attempt and the end of the program.
//
// Re-entrancy: CFtp delivers its events inside GetFile, and Yes in the error dialog starts the next
// attempt from inside the error event, so attempts nest on the stack. Each attempt keeps its own
// CFtp alive until its GetFile has returned; only the newest connection's events reach the
// handlers, as a window variable that has been assigned a new object no longer hears the old one.
// Once the program has been told to end (finished()), unwinding attempts only clean up after
// themselves.
//
// Texts passed to the view are Windows-1252, like all core text. The view, dialogs, pump and
// desktop are not owned and must outlive the logic. Single-threaded; not copyable.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "Platform.h"
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

class UpdaterLogic {
 public:
  // `programFolder` holds "version.txt" and the main program (production: the current folder, an
  // empty path).
  UpdaterLogic(UpdaterView& view, Dialogs& dialogs, EventPump& pump, Desktop& desktop, ServerSettings server,
               std::filesystem::path programFolder);
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
  // Moves the finished download over the main program. Returns "" or the reason it failed.
  std::string InstallDownload(const std::filesystem::path& download);

  UpdaterView& view_;
  Dialogs& dialogs_;
  EventPump& pump_;
  Desktop& desktop_;
  ServerSettings server_;
  std::filesystem::path programFolder_;

  // oFTP: the newest connection. Older ones live on in the attempts still on the stack.
  std::shared_ptr<Connection> oFTP;
  bool downloadErrorShown_ = false;
  bool finished_ = false;
  int attempts_ = 0;
};
