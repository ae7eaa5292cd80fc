#include "UpdaterLogic.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <utility>

#include "ItemReader.h"
#include "TextFile.h"
#include "Windows1252.h"
#include "ftp/CFtp.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersionRecordFile = "version.txt";

template <typename Number>
std::string FixedShortest(Number value) {
  // Wide enough for the largest double written out in full.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

// The leading number of an item; a record whose first field is not a number announces version 0
// rather than stopping the updater.
float VersionFrom(std::string_view item) {
  if (!item.empty() && item.front() == '+') item.remove_prefix(1);
  float version = 0.0f;
  std::from_chars(item.data(), item.data() + item.size(), version);
  return version;
}

}  // namespace

std::string ShortestDecimal(float value) {
  return FixedShortest(value);
}

std::string PlainDecimal(double value) {
  return FixedShortest(value);
}

// One oFTP object with the listener that carries its events to the logic. The logic hears only the
// newest connection; every connection remembers for its own attempt whether it reported an error.
class UpdaterLogic::Connection final : public CFtpListener {
 public:
  explicit Connection(UpdaterLogic& owner) : owner_(owner) { ftp.SetListener(this); }
  ~Connection() override { ftp.SetListener(nullptr); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void ErrorMsg(const std::string& sErr) override {
    errorReported = true;
    if (IsCurrent()) owner_.oFTP_ErrorMsg(sErr);
  }
  void StatusMsg(const std::string& Msg) override {
    if (IsCurrent()) owner_.oFTP_StatusMsg(Msg);
  }
  void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) override {
    if (IsCurrent()) owner_.oFTP_TransferProgress(nPercent, fBytesReceived, fFileSize);
  }
  void TransferCompleted() override {
    if (IsCurrent()) owner_.oFTP_TransferCompleted();
  }

  CFtp ftp;
  bool errorReported = false;

 private:
  bool IsCurrent() const { return owner_.oFTP.get() == this; }
  UpdaterLogic& owner_;
};

UpdaterLogic::UpdaterLogic(UpdaterView& view, Dialogs& dialogs, EventPump& pump, Desktop& desktop,
                           ServerSettings server, fs::path programFolder)
    : view_(view),
      dialogs_(dialogs),
      pump_(pump),
      desktop_(desktop),
      server_(std::move(server)),
      programFolder_(std::move(programFolder)) {}

UpdaterLogic::~UpdaterLogic() = default;

void UpdaterLogic::Form_Load() {
  // Unreadable counts as absent: without a record there is nothing to announce.
  if (const auto record = ReadFileBytes(programFolder_ / kVersionRecordFile)) {
    ItemReader reader(*record);
    const float version = VersionFrom(reader.Next());
    std::string news(reader.Next());
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

  // Held here as well as in oFTP: a retry from inside GetFile replaces oFTP while this object is
  // still running.
  const auto connection = std::make_shared<Connection>(*this);
  oFTP = connection;
  CFtp& ftp = connection->ftp;
  ftp.Port(server_.port);
  ftp.Connect(server_.host, server_.user, server_.password, "");
  ftp.TransferType(2);
  // A name of its own per attempt, so that a retry never writes into a file an unwinding attempt
  // still owns.
  const fs::path download = programFolder_ / PathFromUtf8(std::string(kMainProgramFile) + ".download" +
                                                          std::to_string(++attempts_));
  const bool received = ftp.GetFile(kRemoteMainProgram, download, false);

  if (finished_ || !received || connection->errorReported) {
    // The installed program stays as it was. A reported error has had its dialog (or, every other
    // time, none); either way the button works again unless the program is ending.
    RemoveFile(download);
    if (!finished_) view_.SetDownloadEnabled(true);
    return;
  }
  if (std::string failure = InstallDownload(download); !failure.empty()) {
    RemoveFile(download);
    view_.SetDownloadEnabled(true);
    oFTP_ErrorMsg(failure);
    return;
  }
  desktop_.StartProgram(programFolder_ / kMainProgramFile);
  Finish();
}

std::string UpdaterLogic::InstallDownload(const fs::path& download) {
  std::error_code error;
  // Executable before it takes the program's name, so the program is never there without the bits.
  fs::permissions(download, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add, error);
  if (!error) fs::rename(download, programFolder_ / kMainProgramFile, error);
  if (error) return "!Could not replace " + std::string(kMainProgramFile) + ": " + error.message();
  return {};
}

void UpdaterLogic::oFTP_ErrorMsg(const std::string& sErr) {
  if (finished_) return;
  if (downloadErrorShown_) {
    downloadErrorShown_ = false;
    return;
  }
  downloadErrorShown_ = true;
  view_.SetStatusText("Fel!");
  const DialogAnswer answer = dialogs_.Show(
      "Vimo uppdatering - Fel!",
      W("Fel i nedladdningen! Se till att du är uppkopplad till internet, och att brandväggen inte "
        "blockerar detta program.\nOrsak: ") +
          sErr + W("\n\nVill du försöka igen?"),
      DialogButtons::YesNo);
  if (answer == DialogAnswer::Yes) {
    Label3_Click();
  } else {
    Finish();
  }
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
  // program is replaced and started only once GetFile has returned (Label3_Click).
}

void UpdaterLogic::Finish() {
  finished_ = true;
  view_.CloseWindow();
}
