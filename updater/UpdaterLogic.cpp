#include "UpdaterLogic.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include "EveryOtherError.h"
#include "ItemReader.h"
#include "Release.h"
#include "TextFile.h"
#include "UpdateTrial.h"
#include "VersionRecord.h"
#include "Windows1252.h"
#include "ftp/CFtp.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersionRecordFile = "version.txt";
// Ends every refusal, so the user knows what the failed update did not do.
constexpr const char* kUntouched = " Den installerade Vimo är orörd.";
// Far above any build of the program (about 12 MB with debugging information), far below what
// would strain the memory it is checked in.
constexpr std::uintmax_t kLargestRelease = 256u << 20;

// Forces a file's bytes to the disk itself, so that a power cut after the rename cannot leave a
// program of the right name and the wrong (zeroed, short) content.
bool SyncToDisk(const fs::path& file) {
#ifdef _WIN32
  const int descriptor = _wopen(file.c_str(), _O_RDWR | _O_BINARY);
  if (descriptor < 0) return false;
  const bool synced = _commit(descriptor) == 0;
  _close(descriptor);
#else
  const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool synced = ::fsync(descriptor) == 0;
  ::close(descriptor);
#endif
  return synced;
}

// The installed program's permissions for its successor (the download's own when nothing is
// installed), and whoever may read it may run it.
fs::perms PermissionsToInstall(const fs::path& installed, const fs::path& download) {
  std::error_code error;
  fs::perms perms = fs::status(installed, error).permissions();
  if (error || !fs::is_regular_file(installed, error)) perms = fs::status(download, error).permissions();
  const std::pair<fs::perms, fs::perms> readToRun[] = {{fs::perms::owner_read, fs::perms::owner_exec},
                                                       {fs::perms::group_read, fs::perms::group_exec},
                                                       {fs::perms::others_read, fs::perms::others_exec}};
  for (const auto& [read, run] : readToRun) {
    if ((perms & read) != fs::perms::none) perms |= run;
  }
  return perms | fs::perms::owner_exec;
}

}  // namespace

std::string ShortestDecimal(float value) {
  return ReleaseVersionText(value);
}

std::string PlainDecimal(double value) {
  // Wide enough for the largest double written out in full.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

// One oFTP object with the listener that carries its events to the logic. The logic hears only the
// newest connection; each call's outcome tells the logic whether it worked.
class UpdaterLogic::Connection final : public CFtpListener {
 public:
  explicit Connection(UpdaterLogic& owner) : owner_(owner) { ftp.SetListener(this); }
  ~Connection() override { ftp.SetListener(nullptr); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void ErrorMsg(const std::string& sErr) override {
    if (IsHeard()) owner_.oFTP_ErrorMsg(sErr);
  }
  void StatusMsg(const std::string& Msg) override {
    if (IsHeard()) owner_.oFTP_StatusMsg(Msg);
  }
  void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) override {
    if (IsHeard()) owner_.oFTP_TransferProgress(nPercent, fBytesReceived, fFileSize);
  }
  void TransferCompleted() override {
    if (IsHeard()) owner_.oFTP_TransferCompleted();
  }

  CFtp ftp;
  // While the signature comes, the logic explains a failure itself and the progress line stays.
  bool quiet = false;

 private:
  bool IsHeard() const { return !quiet && owner_.oFTP.get() == this; }
  UpdaterLogic& owner_;
};

UpdaterLogic::UpdaterLogic(UpdaterView& view, Dialogs& dialogs, EventPump& pump, Desktop& desktop,
                           ServerSettings server, fs::path programFolder, UpdateSafeguards safeguards)
    : view_(view),
      dialogs_(dialogs),
      pump_(pump),
      desktop_(desktop),
      server_(std::move(server)),
      programFolder_(std::move(programFolder)),
      safeguards_(std::move(safeguards)) {
  if (safeguards_.runner == nullptr) {
    ownRunner_ = std::make_unique<ChildProcessRunner>();
    safeguards_.runner = ownRunner_.get();
  }
  if (safeguards_.waiter == nullptr) {
    ownWaiter_ = std::make_unique<SleepingWaiter>();
    safeguards_.waiter = ownWaiter_.get();
  }
}

UpdaterLogic::~UpdaterLogic() = default;

void UpdaterLogic::Form_Load() {
  // Before anything else: a trial cut short leaves a program that never proved it starts.
  RevertAbandonedTrial(programFolder_);
  // Unreadable counts as absent, and a record of a version that is already installed (or older)
  // is a leftover: either way there is nothing to announce.
  const auto record = ReadVersionRecord(programFolder_ / kVersionRecordFile);
  const float version = record ? record->newestVersion : 0.0f;
  if (record && version > InstalledVersion(programFolder_)) {
    announcedVersion_ = version;
    std::string news = record->news;
    std::replace(news.begin(), news.end(), '|', ',');
    view_.SetStatusText("Version " + ShortestDecimal(version) + W(" av Vimo har släppts!"));
    view_.SetNewsText(news);
    return;
  }
  const DialogAnswer answer = dialogs_.Show("Vimo-updater - Fel",
                                            W("Du behöver inte köra updatern manuellt, Vimo uppdateras varje "
                                              "gång det körs.\n\nVill du starta Vimo nu?"),
                                            DialogButtons::YesNo);
  if (answer == DialogAnswer::Yes) desktop_.StartProgram(programFolder_ / kMainProgramFile);
  Finish();
}

void UpdaterLogic::Label3_Click() {
  if (finished_) return;
  view_.SetDownloadEnabled(false);
  view_.SetStatusText("Uppdaterar...");
  pump_.ProcessEvents();
  // Nothing is downloaded for a release that could not be installed whatever arrives.
  if (std::string refusal = CheckAnnouncedVersion(); !refusal.empty()) {
    view_.SetDownloadEnabled(true);
    Refuse(refusal);
    return;
  }

  // Held here as well as in oFTP: a retry from inside GetFile replaces oFTP while this object is
  // still running.
  const auto connection = std::make_shared<Connection>(*this);
  oFTP = connection;
  CFtp& ftp = connection->ftp;
  ftp.Port(server_.port);
  ftp.SetTls(server_.tls);
  ftp.SetTlsMemory(programFolder_ / PathFromUtf8(kTlsMemoryFile));
  ftp.Connect(server_.host, server_.user, server_.password, "");
  ftp.TransferType(2);
  // Names of their own per attempt, so that a retry never writes into a file an unwinding attempt
  // still owns.
  const std::string suffix = ".download" + std::to_string(++attempts_);
  const fs::path download = programFolder_ / PathFromUtf8(std::string(kMainProgramFile) + suffix);
  const fs::path signature = programFolder_ / PathFromUtf8(std::string(kMainProgramFile) + ".sig" + suffix);
  const FtpOutcome received = ftp.GetFile(kRemoteMainProgram, download, false);

  if (finished_ || !received) {
    // The installed program stays as it was. A reported error has had its dialog (or, every other
    // time, none); either way the button works again unless the program is ending.
    RemoveFile(download);
    if (!finished_) view_.SetDownloadEnabled(true);
    return;
  }
  connection->quiet = true;
  const FtpOutcome signatureReceived = ftp.GetFile(ReleaseSignatureName(), signature, false);
  connection->quiet = false;
  std::string refusal;
  if (!signatureReceived) {
    refusal = W("Signaturen ") + ReleaseSignatureName() + W(" kunde inte hämtas (") + signatureReceived.text +
              W("), och utan den installeras ingen ny version.") + W(kUntouched);
  } else {
    refusal = CheckRelease(download, signature, *AnnouncedVersion());
  }
  RemoveFile(signature);
  if (finished_) {
    RemoveFile(download);
    return;
  }
  if (!refusal.empty()) {
    RemoveFile(download);
    view_.SetDownloadEnabled(true);
    Refuse(refusal);
    return;
  }
  const float version = *AnnouncedVersion();
  ForgetRefusalsUpTo(programFolder_, version);
  // Held from before the trial marker is written until the trial has ended, however it ends.
  const auto watch = TrialWatch::TryTake(programFolder_);
  std::string failure = watch ? InstallDownload(download, version)
                              : "!Could not replace " + std::string(kMainProgramFile) +
                                    ": another updater is trying a new version of it";
  if (!failure.empty()) {
    RemoveFile(download);
    view_.SetDownloadEnabled(true);
    oFTP_ErrorMsg(failure);
    return;
  }
  TryNewProgram(version);
}

std::string UpdaterLogic::CheckAnnouncedVersion() {
  const auto version = AnnouncedVersion();
  if (!version) {
    return W("Versionsinformationen (version.txt) saknas, så den nya versionen kan inte kontrolleras.") +
           W(kUntouched);
  }
  if (const float installed = InstalledVersion(programFolder_); *version <= installed) {
    return W("Version ") + ReleaseVersionText(*version) +
           W(" är inte nyare än den installerade Vimo (version ") + ReleaseVersionText(installed) + ")." +
           W(kUntouched);
  }
  return {};
}

std::optional<float> UpdaterLogic::AnnouncedVersion() {
  if (!announcedVersion_) {
    if (const auto record = ReadVersionRecord(programFolder_ / kVersionRecordFile)) {
      announcedVersion_ = record->newestVersion;
    }
  }
  return announcedVersion_;
}

std::string UpdaterLogic::CheckRelease(const fs::path& program, const fs::path& signature,
                                       float version) const {
  // Sizes first, so that whatever a server sent is read into memory only when it can be a release.
  std::error_code programError;
  std::error_code signatureError;
  const auto programSize = fs::file_size(program, programError);
  const auto signatureSize = fs::file_size(signature, signatureError);
  if (programError || signatureError) return W("De nedladdade filerna kunde inte läsas.") + W(kUntouched);
  if (programSize == 0) return W("Den nedladdade programfilen är tom.") + W(kUntouched);
  if (programSize > kLargestRelease)
    return W("Den nedladdade programfilen är orimligt stor.") + W(kUntouched);
  if (signatureSize != kReleaseSignatureSize) {
    return W("Signaturen ") + ReleaseSignatureName() + W(" är skadad.") + W(kUntouched);
  }
  const auto programBytes = ReadFileBytes(program);
  const auto signatureBytes = ReadFileBytes(signature);
  if (!programBytes || !signatureBytes) return W("De nedladdade filerna kunde inte läsas.") + W(kUntouched);
  if (!VerifyRelease(safeguards_.releasePublicKey, version, *programBytes, *signatureBytes)) {
    return W("Signaturen stämmer inte med Vimo version ") + ReleaseVersionText(version) +
           W(": programfilen är ändrad, ofullständig eller inte utgiven av Vimos utvecklare.") +
           W(kUntouched);
  }
  if (!IsExecutableForThisPlatform(*programBytes)) {
    return W("Den nedladdade filen är inte ett program för den här datorn.") + W(kUntouched);
  }
  return {};
}

void UpdaterLogic::Refuse(const std::string& reason) {
  // Recorded before the user answers, so that however this updater ends, the next start goes on
  // to the chat instead of handing over for the same release again.
  if (const auto version = AnnouncedVersion()) RecordRefusedRelease(programFolder_, *version);
  // The alternation skips every other transfer error; a refusal happens once per attempt and must
  // always be explained, so it neither depends on nor changes that state.
  if (!finished_) ShowDownloadError(reason);
}

std::string UpdaterLogic::InstallDownload(const fs::path& download, float version) {
  const fs::path installed = programFolder_ / kMainProgramFile;
  const fs::path previous = PreviousProgramPath(programFolder_);
  std::error_code error;
  // The caller holds the watch, so a trial still marked was cut short: its previous program is the
  // one to keep, not the program on trial.
  if (FileExists(TrialMarkerPath(programFolder_))) RevertTrial(programFolder_);
  // Runnable before it takes the program's name, so the program is never there without the bits.
  fs::permissions(download, PermissionsToInstall(installed, download), fs::perm_options::replace, error);
  if (!error && !SyncToDisk(download)) error = std::make_error_code(std::errc::io_error);
  // The installed program stays in place while the previous copy is made, so a crash here loses nothing.
  if (!error && fs::is_regular_file(installed, error)) {
    RemoveFile(previous);
    fs::create_hard_link(installed, previous, error);
    if (error) {
      error.clear();
      fs::copy_file(installed, previous, fs::copy_options::overwrite_existing, error);
      if (!error && !SyncToDisk(previous)) error = std::make_error_code(std::errc::io_error);
    }
  }
  // Durable with its folder, which puts the download's and the previous program's names on the
  // disk as well: after a power cut the trial is found and reverted.
  if (!error && !WriteFileDurably(TrialMarkerPath(programFolder_), VersionText(version) + "\r\n")) {
    error = std::make_error_code(std::errc::io_error);
  }
  if (!error) fs::rename(download, installed, error);
  if (error) {
    RemoveFile(TrialMarkerPath(programFolder_));
    RemoveFile(previous);
    return "!Could not replace " + std::string(kMainProgramFile) + ": " + error.message();
  }
  return {};
}

void UpdaterLogic::TryNewProgram(float version) {
  const fs::path installed = programFolder_ / kMainProgramFile;
  const fs::path marker = TrialMarkerPath(programFolder_);
  view_.SetStatusText(W("Startar Vimo version ") + ReleaseVersionText(version) + "...");
  pump_.ProcessEvents();
  const auto running = safeguards_.runner->Start(installed, programFolder_);
  if (!running) return Revert(version, W("Den nya versionen gick inte att starta."));

  const auto poll = std::max(safeguards_.pollInterval, std::chrono::milliseconds(1));
  for (std::chrono::milliseconds waited{0};; waited += poll) {
    // Asked before the marker is looked at: a program may confirm and end at once.
    const bool ended = running->HasEnded();
    if (!FileExists(marker)) {
      // Recorded first: only then may the previous program go, since nothing older is installed again.
      RecordInstalledVersion(programFolder_, version);
      RemoveFile(PreviousProgramPath(programFolder_));
      RemoveFile(FailedReleasePath(programFolder_));
      Finish();
      return;
    }
    if (ended) return Revert(version, W("Den avslutades innan den hade startat klart."));
    if (waited >= safeguards_.healthyStartBound) {
      running->Terminate();
      if (!FileExists(marker)) continue;
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(safeguards_.healthyStartBound);
      return Revert(version, W("Den hade inte startat klart efter ") + std::to_string(seconds.count()) +
                                 W(" sekunder och stängdes."));
    }
    pump_.ProcessEvents();
    safeguards_.waiter->Wait(static_cast<int>(poll.count()));
  }
}

void UpdaterLogic::Revert(float version, const std::string& why) {
  const fs::path installed = programFolder_ / kMainProgramFile;
  // The start-up then goes on to the chat instead of offering the same release again.
  const bool restored = RevertTrial(programFolder_);
  view_.SetStatusText("Fel!");
  const std::string outcome = restored ? W(" Den tidigare versionen är återställd och startas nu.")
                                       : W(" Den tidigare versionen kunde inte återställas.");
  dialogs_.Show(
      "Vimo uppdatering - Fel!",
      W("Vimo version ") + ReleaseVersionText(version) + W(" startade inte som den skulle. ") + why + outcome,
      DialogButtons::Ok);
  if (restored) desktop_.StartProgram(installed);
  Finish();
}

void UpdaterLogic::oFTP_ErrorMsg(const std::string& sErr) {
  if (finished_) return;
  if (EveryOtherError(downloadErrorShown_).DialogDue()) ShowDownloadError(sErr);
}

void UpdaterLogic::ShowDownloadError(const std::string& sErr) {
  view_.SetStatusText("Fel!");
  const DialogAnswer answer = dialogs_.Show(
      "Vimo uppdatering - Fel!",
      W("Fel i nedladdningen! Se till att du är uppkopplad till internet, och att brandväggen inte "
        "blockerar detta program.\nOrsak: ") +
          sErr + W("\n\nVill du försöka igen?"),
      DialogButtons::YesNo);
  if (answer == DialogAnswer::Yes) {
    Label3_Click();
    return;
  }
  // Once the start-up goes on to the chat for this release (it was refused), the installed Vimo
  // is started again; otherwise it would only hand over to the updater once more.
  if (const auto version = AnnouncedVersion(); version && ReleaseFailedHere(programFolder_, *version)) {
    desktop_.StartProgram(programFolder_ / kMainProgramFile);
  }
  Finish();
}

void UpdaterLogic::oFTP_StatusMsg(const std::string& Msg) {
  if (finished_) return;
  view_.SetStatusText(Msg);
  pump_.ProcessEvents();
}

void UpdaterLogic::oFTP_TransferProgress(int32_t /*nPercent*/, double fBytesReceived, double /*fFileSize*/) {
  if (finished_) return;
  view_.SetStatusText("Mottagna kb: " + PlainDecimal(fBytesReceived) + " / 700");
  pump_.ProcessEvents();
}

void UpdaterLogic::oFTP_TransferCompleted() {
  // Also raised for a failed or partial transfer, and before GetFile's result is known: the
  // program is checked, replaced and started only once GetFile has returned (Label3_Click).
}

void UpdaterLogic::Finish() {
  finished_ = true;
  view_.CloseWindow();
}
