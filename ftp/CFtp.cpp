#include "ftp/CFtp.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "TextFile.h"
#include "ftp/INetCallback.h"
#include "ftp/InetCodes.h"

namespace {

constexpr size_t kChunkSize = 1024;
constexpr int32_t kDownloading = 3;
constexpr int32_t kUploading = 5;

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// Joins pieces of a message. (Plain "literal" + std::string trips a false -Wrestrict in GCC 12 at -O3.)
std::string Concat(std::initializer_list<std::string_view> pieces) {
  std::string joined;
  for (std::string_view piece : pieces) joined.append(piece);
  return joined;
}

std::string CutAtNul(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

std::string LocalFileError(int error) {
  return std::generic_category().message(error);
}

// Closes a local file when the transfer leaves its scope, whichever way it leaves.
struct ScopedLocalFile {
  std::FILE* file = nullptr;
  ~ScopedLocalFile() { Close(); }
  void Close() {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
  }
};

std::string ServerKey(std::string host, int16_t port) {
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Concat({host, ":", std::to_string(static_cast<uint16_t>(port))});
}

std::function<void()>& DefaultPump() {
  static std::function<void()> pump;  // what new objects start with
  return pump;
}
}  // namespace

void CFtp::SetDefaultEventPump(std::function<void()> pump) {
  DefaultPump() = std::move(pump);
}

CFtp::CFtp()
    : statusContext_(INetCallback::RegisterContext(this)),
      pump_(DefaultPump()),
      limits_(FtpLimits::Default()),
      tls_(ReadFtpTls()) {
  if (const char* caFile = std::getenv("VIMO_FTP_CA_FILE"); caFile != nullptr) caFile_ = caFile;
}

CFtp::~CFtp() {
  CloseConnection();
  INetCallback::UnregisterContext(statusContext_);
  *alive_ = false;
}

int16_t CFtp::Port() {
  if (port_ == 0) port_ = 21;
  return port_;
}

std::string CFtp::ProxyListFor(const std::string& proxyName, int16_t port) {
  return Concat({"ftp=ftp://", proxyName, ":", std::to_string(static_cast<uint16_t>(port))});
}

std::string CFtp::LastResponseInfo() const {
  std::string text;
  return inet::GetLastResponseInfo(text, 3000) ? text : std::string();
}

void CFtp::RaiseErrorMsg(const std::string& text) {
  if (listener_ != nullptr) listener_->ErrorMsg(text);
}

void CFtp::RaiseStatusMsg(const std::string& text) {
  if (listener_ != nullptr) listener_->StatusMsg(text);
}

FtpOutcome CFtp::OutcomeOf(int32_t code) {
  if (code == inet::kNoError) return {};
  if (code != inet::kErrorExtended) return {code, inet::ErrorTextForCode(code)};
  std::string reply;
  return {code, inet::GetLastResponseInfo(reply, 256) ? Concat({"!", CutAtNul(reply)})
                                                      : std::string("!Extended error returned from server")};
}

FtpOutcome CFtp::Conclude(FtpOutcome outcome, bool raise) {
  lastOutcome_ = outcome;
  if (!outcome && raise) RaiseErrorMsg(outcome.text);
  return outcome;
}

FtpOutcome CFtp::ReportError(int32_t code) {
  return Conclude(OutcomeOf(code));
}

FtpOutcome CFtp::NoSession() {
  return Conclude({inet::kErrorIncorrectHandleState, "!No session"});
}

FtpOutcome CFtp::Gone() {
  return OutcomeOf(inet::kErrorOperationCancelled);
}

// ---- session

FtpOutcome CFtp::Connect(const std::string& RemoteHost, const std::string& UserName,
                         const std::string& Password, const std::string& ProxyName) {
  auto alive = alive_;
  bytesReceived_ = 0;
  if (session_ != nullptr || internet_.has_value()) {
    CloseConnection();
    if (!*alive) return Gone();
  }
  if (!ProxyName.empty()) proxyName_ = Trimmed(ProxyName);

  inet::InternetSettings internet;
  internet.agent = "SeFtp";
  if (!proxyName_.empty()) {
    internet.accessType = inet::kOpenTypeProxy;
    internet.proxyList = ProxyListFor(proxyName_, port_);
  } else {
    internet.accessType = inet::kOpenTypeDirect;
  }
  internet.callback = &INetCallback::InetStatusCallback;
  internet_ = internet;

  if (!UserName.empty()) userName_ = UserName;
  if (!Password.empty()) password_ = Password;
  if (userName_.empty()) {
    userName_ = "anonymous";
    password_ = "guest";
  }
  if (!RemoteHost.empty()) remoteHost_ = RemoteHost;
  if (port_ == 0) port_ = 21;

  inet::SessionSettings settings;
  settings.host = remoteHost_;
  settings.port = static_cast<uint16_t>(port_);
  settings.user = userName_;
  settings.password = password_;
  settings.flags = (passive_ ? inet::kFlagPassive : 0) + inet::kFlagExistingConnect;
  settings.context = statusContext_;
  settings.limits = limits_;
  settings.caFile = caFile_.string();
  const std::string server = ServerKey(remoteHost_, port_);
  const auto memory = tlsMemory_;
  settings.requireTls = tls_ == FtpTls::Required || FileHasLine(memory, server);
  settings.waitPump = [this, alive] {
    if (!*alive || !pump_) return;
    auto pump = pump_;  // the pump may set another
    pump();
  };
  auto session = inet::FtpSession::Connect(*internet_, settings);
  int32_t error = inet::LastError();
  if (session != nullptr && session->UsesTls()) AddLineToFile(memory, server);
  if (!*alive) return OutcomeOf(session != nullptr ? inet::kNoError : error);
  session_ = session;
  return ReportError(session_ != nullptr ? inet::kNoError : error);
}

FtpOutcome CFtp::CloseConnection() {
  auto alive = alive_;
  inet::SetLastError(inet::kNoError);
  FtpOutcome outcome;
  auto closing = session_;
  if (closing != nullptr) {
    closing->Close();
    if (!*alive) return Gone();
    outcome = ReportError(inet::LastError());
    if (!*alive) return outcome;
  }
  // A handler of the closing events may already have connected again; that session stays.
  if (session_ == closing) session_.reset();
  if (session_ == nullptr) internet_.reset();
  lastOutcome_ = outcome;
  return outcome;
}

// ---- transfers

void CFtp::LookupExpectedSize(const std::string& remoteName) {
  for (CFtpFile& entry : files_) {
    if (entry.FileName() == remoteName) {
      fileSize_ = entry.FileSize();
      return;
    }
  }
}

bool CFtp::FileExist(const std::string& sFileName) {
  if (session_ == nullptr) return NoSession();
  auto session = session_;
  session->SetSizeCaps(limits_);
  inet::FindData found;
  auto search = session->FindFirstFile(sFileName, found, inet::kFlagNoCacheWrite, 0);
  int32_t error = inet::LastError();
  search.reset();
  // Only "no such name" is a no; the outcome tells a failed search apart, without an event.
  lastOutcome_ = error == inet::kErrorNoMoreFiles ? FtpOutcome{} : OutcomeOf(error);
  return error != inet::kErrorNoMoreFiles;
}

FtpOutcome CFtp::GetFile(const std::string& sRemoteFile, const std::filesystem::path& sLocalFile,
                         bool FailIfExists) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  LookupExpectedSize(sRemoteFile);
  transferState_ = kDownloading;
  session->SetSizeCaps(limits_);
  session->GetFile(sRemoteFile, sLocalFile, FailIfExists, transferType_, statusContext_);
  int32_t error = inet::LastError();
  if (!*alive) return OutcomeOf(error);
  transferState_ = 0;
  return ReportError(error);
}

FtpOutcome CFtp::PutFile(const std::filesystem::path& sLocalFile, const std::string& sFileName) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  bytesReceived_ = 0;
  std::error_code sizeError;
  auto size = std::filesystem::file_size(sLocalFile, sizeError);
  if (!sizeError) fileSize_ = static_cast<double>(size);
  transferState_ = kUploading;
  session->PutFile(sLocalFile, sFileName, transferType_, statusContext_);
  int32_t error = inet::LastError();
  if (!*alive) return OutcomeOf(error);
  transferState_ = 0;
  return ReportError(error);
}

FtpOutcome CFtp::DownloadFile(const std::string& RemoteFile, const std::filesystem::path& LocalFile) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  bytesReceived_ = 0;
  LookupExpectedSize(RemoteFile);
  std::error_code ignored;
  std::filesystem::remove(LocalFile, ignored);
  transferState_ = kDownloading;
  ScopedLocalFile local;
  local.file = inet::OpenLocalFile(LocalFile, "w+b");
  if (local.file == nullptr) {
    transferState_ = 0;
    return Conclude({inet::kErrorWriteFault, LocalFileError(errno)});
  }
  session->SetSizeCaps(limits_);
  auto remote = session->OpenFile(RemoteFile, inet::kGenericRead, transferType_, statusContext_);
  int32_t error = inet::LastError();
  if (!*alive) return Gone();
  if (remote == nullptr) {
    transferState_ = 0;
    local.Close();
    return ReportError(error);
  }
  int localError = 0;
  FtpOutcome outcome = ReceivePieces(*remote, local.file, localError);
  if (!*alive) return Gone();
  remote->Close();
  if (!*alive) return Gone();
  transferState_ = 0;
  local.Close();
  if (localError != 0) return Conclude({inet::kErrorWriteFault, LocalFileError(localError)});
  if (outcome && cancelTransfer_) return Conclude(OutcomeOf(inet::kErrorOperationCancelled), false);
  return Conclude(outcome, false);
}

FtpOutcome CFtp::ReceivePieces(inet::FtpFileHandle& remote, std::FILE* file, int& localError) {
  auto alive = alive_;
  char buffer[kChunkSize];
  while (true) {
    if (pump_) pump_();
    if (!*alive) return Gone();
    size_t bytesRead = 0;
    bool readOk = remote.Read(buffer, sizeof buffer, bytesRead);
    int32_t error = inet::LastError();
    if (!*alive) return Gone();
    if (!readOk) return ReportError(error);
    if (bytesRead == 0) return {};
    // Flushed piece by piece, so that whatever arrived is on disk if the transfer breaks off.
    if (std::fwrite(buffer, 1, bytesRead, file) != bytesRead || std::fflush(file) != 0) {
      localError = errno;
      return {};
    }
    if (cancelTransfer_) return {};
  }
}

FtpOutcome CFtp::UploadFile(const std::filesystem::path& LocalFile, const std::string& RemoteFile) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  bytesReceived_ = 0;
  std::error_code sizeError;
  auto length = std::filesystem::file_size(LocalFile, sizeError);
  if (sizeError) return Conclude({inet::kErrorReadFault, sizeError.message()});
  fileSize_ = static_cast<double>(length);
  ScopedLocalFile local;
  local.file = inet::OpenLocalFile(LocalFile, "rb");
  if (local.file == nullptr) return Conclude({inet::kErrorReadFault, LocalFileError(errno)});
  auto remote = session->OpenFile(RemoteFile, inet::kGenericWrite, transferType_, statusContext_);
  int32_t error = inet::LastError();
  if (!*alive) return Gone();
  if (remote == nullptr) {
    local.Close();
    return ReportError(error);
  }
  transferState_ = kUploading;
  cancelTransfer_ = false;
  bool localOk = true;
  FtpOutcome outcome = SendPieces(*remote, local.file, length, localOk);
  if (!*alive) return Gone();
  local.Close();
  bool closedOk = remote->Close();
  int32_t closeError = inet::LastError();
  if (!*alive) return Gone();
  transferState_ = 0;
  if (!localOk) return Conclude({inet::kErrorReadFault, "The local file ended before its announced length"});
  if (!outcome) return outcome;
  if (cancelTransfer_) return Conclude(OutcomeOf(inet::kErrorOperationCancelled), false);
  // The server's verdict comes when the upload is closed; an upload it refused has not succeeded.
  return ReportError(closedOk ? inet::kNoError : closeError);
}

FtpOutcome CFtp::SendPieces(inet::FtpFileHandle& remote, std::FILE* file, uintmax_t length, bool& localOk) {
  auto alive = alive_;
  uintmax_t done = 0;
  char buffer[kChunkSize];
  do {
    if (pump_) pump_();
    if (!*alive) return Gone();
    size_t chunk = static_cast<size_t>(std::min<uintmax_t>(length - done, kChunkSize));
    if (chunk == 0) return {};
    if (std::fread(buffer, 1, chunk, file) != chunk) {
      localOk = false;
      return {};
    }
    done += chunk;
    bool written = remote.Write(std::string_view(buffer, chunk));
    int32_t error = inet::LastError();
    if (!*alive) return Gone();
    if (!written) return ReportError(error);
  } while (!cancelTransfer_);
  return {};
}

FtpOutcome CFtp::ReadAsciiFile(const std::string& RemoteFile, std::string& Buffer) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  inet::FindData found;
  auto search = session->FindFirstFile(RemoteFile, found, 0, 0);
  if (search == nullptr) return ReportError(inet::LastError());
  search->Close();
  session->SetSizeCaps(limits_);
  auto remote = session->OpenFile(RemoteFile, inet::kGenericRead, inet::kTransferTypeAscii, 0);
  if (remote == nullptr) return ReportError(inet::LastError());
  // Read to the end: in ASCII mode the server may send more bytes than its listing shows.
  std::string text;
  bool ok = true;
  char buffer[4096];
  while (true) {
    size_t bytesRead = 0;
    ok = remote->Read(buffer, sizeof buffer, bytesRead);
    if (!ok || bytesRead == 0) break;
    text.append(buffer, bytesRead);
  }
  int32_t error = ok ? inet::kNoError : inet::LastError();
  if (ok) Buffer = text;
  remote->Close();
  if (!*alive) return OutcomeOf(error);
  return ReportError(error);
}

FtpOutcome CFtp::WriteAsciiFile(const std::string& RemoteFile, const std::string& Text) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  auto remote = session->OpenFile(RemoteFile, inet::kGenericWrite, inet::kTransferTypeAscii, statusContext_);
  if (remote == nullptr) {
    int32_t error = inet::LastError();
    return *alive ? ReportError(error) : OutcomeOf(error);
  }
  bool written = remote->Write(Text);
  int32_t error = inet::LastError();
  if (!*alive) return Gone();
  FtpOutcome outcome = written ? FtpOutcome{} : OutcomeOf(error);
  bool closedOk = remote->Close();
  int32_t closeError = inet::LastError();
  if (!*alive) return Gone();
  if (!outcome) return Conclude(outcome, false);
  return ReportError(closedOk ? inet::kNoError : closeError);
}

// ---- directories

FtpOutcome CFtp::ListDir(const std::string& Pattern, bool NoCache) {
  if (session_ == nullptr) return NoSession();
  auto alive = alive_;
  auto session = session_;
  inet::SetLastError(inet::kNoError);
  session->SetSizeCaps(limits_);
  inet::FindData found;
  auto search = session->FindFirstFile(Pattern, found, NoCache ? inet::kFlagNoCacheWrite : 0, statusContext_);
  int32_t error = inet::LastError();
  if (!*alive) return Gone();
  files_.Clear();
  if (search != nullptr) {
    do {
      const auto& t = found.lastWrite;
      files_.Add(MakeFileDate(t.year, t.month, t.day, t.hour, t.minute, t.second), found.sizeHigh,
                 found.sizeLow, found.name, static_cast<int32_t>(found.attributes));
    } while (search->FindNextFile(found));
    error = inet::LastError();
    search->Close();
    if (!*alive) return Gone();
  }
  return ReportError(error == inet::kErrorNoMoreFiles ? inet::kNoError : error);
}

FtpOutcome CFtp::NamedCommand(const char* verb, const std::string& name) {
  if (session_ == nullptr) return NoSession();
  std::shared_ptr(session_)->Command(verb, name);
  return ReportError(inet::LastError());
}

FtpOutcome CFtp::MakeDir(const std::string& DirectoryName) {
  return NamedCommand("MKD", DirectoryName);
}

FtpOutcome CFtp::ChangeDir(const std::string& sPath) {
  return NamedCommand("CWD", sPath);
}

std::string CFtp::GetCurrDir() {
  std::string directory;
  if (session_ == nullptr) {
    NoSession();
  } else {
    std::shared_ptr(session_)->GetCurrentDirectory(directory);
    if (!ReportError(inet::LastError())) directory.clear();
  }
  return CutAtNul(directory);
}

FtpOutcome CFtp::DeleteFile(const std::string& sPath) {
  return NamedCommand("DELE", sPath);
}

FtpOutcome CFtp::DeleteDir(const std::string& sPath) {
  return NamedCommand("RMD", sPath);
}

FtpOutcome CFtp::RenFile(const std::string& sOldName, const std::string& sNewName) {
  if (session_ == nullptr) return NoSession();
  std::shared_ptr(session_)->RenameFile(sOldName, sNewName);
  return ReportError(inet::LastError());
}

// ---- status notifications

int32_t CFtp::ProgressPercent(double bytesReceived, double fileSize) {
  double percent = 0;
  if (fileSize != 0) percent = std::nearbyint(bytesReceived / fileSize * 100.0);  // halves to even
  if (percent > 100) percent = 100;
  return static_cast<int32_t>(percent);
}

void CFtp::ProgressStep() {
  bytesReceived_ = static_cast<double>(sentCount_) + bytesReceived_;
  int32_t percent = ProgressPercent(bytesReceived_, fileSize_);
  if (listener_ != nullptr) listener_->TransferProgress(percent, bytesReceived_, fileSize_);
}

namespace {

// Notifications whose message is a fixed text, or the status text between a prefix and a suffix.
struct StatusText {
  int32_t status;
  const char* prefix;
  const char* suffix;
  bool withText;
};
constexpr StatusText kStatusTexts[] = {
    {inet::kStatusResolvingName, "Resolving address for '", "'", true},
    {inet::kStatusNameResolved, "Address resolved: '", "'", true},
    {inet::kStatusConnectingToServer, "Connecting to '", "'", true},
    {inet::kStatusConnectedToServer, "Connected to '", "'", true},
    {inet::kStatusRedirect, "Request redirected to ", "", true},
    {inet::kStatusClosingConnection, "Closing connection...", "", false},
    {inet::kStatusConnectionClosed, "Connection closed", "", false},
    {inet::kStatusDetectingProxy, "Detecting proxy", "", false},
    {inet::kStatusRequestComplete, "Request completed", "", false},
    {inet::kStatusIntermediateResponse, "Receiving intermediate status message", "", false},
};
constexpr std::pair<int32_t, const char*> kStateChangeTexts[] = {
    {1, "Connected state moved between secure and nonsecure site"},
    {2, "Disconnected from network"},
    {16, "Disconnected by user request"},
    {256, "No network requests are being made (by Wininet)"},
    {512, "Network requests are being made (by Wininet)"},
};

}  // namespace

void CFtp::CallbackFunc(int32_t dwInternetStatus, const void* lpvStatusInfo, int32_t dwStatusInfoLength) {
  std::string text;
  if (lpvStatusInfo != nullptr && dwStatusInfoLength > 0) {
    text = CutAtNul(
        std::string(static_cast<const char*>(lpvStatusInfo), static_cast<size_t>(dwStatusInfoLength)));
  }
  int32_t count = 0;
  if (lpvStatusInfo != nullptr && dwStatusInfoLength >= static_cast<int32_t>(sizeof count)) {
    std::memcpy(&count, lpvStatusInfo, sizeof count);
  }
  std::string message;
  for (const auto& row : kStatusTexts) {
    if (row.status == dwInternetStatus) message = Concat({row.prefix, row.withText ? text : "", row.suffix});
  }
  if (dwInternetStatus == inet::kStatusStateChange) {
    for (const auto& [state, stateText] : kStateChangeTexts) {
      if (state == count) message = stateText;
    }
  }
  auto alive = alive_;
  if (!CountedStatus(dwInternetStatus, count, message) || !*alive) return;
  if (!message.empty()) RaiseStatusMsg(message);
}

bool CFtp::CountedStatus(int32_t status, int32_t count, std::string& message) {
  auto alive = alive_;
  bool moving = transferState_ == kDownloading || transferState_ == kUploading;
  auto chatty = [&](std::initializer_list<std::string_view> pieces) {
    if (showAllMessages_) message = Concat(pieces);
  };
  std::string number = std::to_string(count);
  switch (status) {
    case inet::kStatusSendingRequest:
      if (!moving) chatty({"Sending request: ", number, " bytes"});
      if (moving) ProgressStep();
      break;
    case inet::kStatusRequestSent:
      if (transferState_ == kUploading) sentCount_ = count;
      chatty({"Request sent: ", number, " bytes"});
      break;
    case inet::kStatusReceivingResponse:
      chatty({"Waiting for response..."});
      break;
    case inet::kStatusResponseReceived:
      bytesReceived_ += count;
      if (transferState_ != kDownloading) chatty({"Response received: ", number, " bytes"});
      break;
    case inet::kStatusHandleCreated:
      chatty({"Handle created: ", number});
      break;
    case inet::kStatusHandleClosing:
      chatty({"Handle closed"});
      if (!moving) break;
      transferState_ = 0;
      if (listener_ != nullptr) listener_->TransferCompleted();
      if (!*alive) return false;
      bytesReceived_ = 0;
      break;
    default:
      break;
  }
  return *alive;
}
