#include "ftp/FtpBackend.h"

#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "ftp/FtpReply.h"
#include "ftp/InetCodes.h"

namespace inet {
namespace {

// Like the platform's, the last error and reply belong to the calling thread; sessions on different
// threads do not share them.
thread_local int32_t g_lastError = 0;
thread_local std::string g_lastResponse;
std::atomic<uintptr_t> g_nextHandleId{1};

uintptr_t NewHandleId() {
  return g_nextHandleId++;
}

void EnsureCurlInitialised() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialised;
}

void CloseSocket(curl_socket_t socket) {
#ifdef _WIN32
  closesocket(socket);
#else
  close(socket);
#endif
}

bool IsUnsafeName(std::string_view name) {
  return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A file name for a transfer: not empty, no line breaks, not a directory path.
bool IsUsableFileName(std::string_view name) {
  return !name.empty() && name.back() != '/' && !IsUnsafeName(name);
}

std::string PercentEncode(std::string_view raw) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (unsigned char c : raw) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      encoded += static_cast<char>(c);
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 15];
    }
  }
  return encoded;
}

int32_t LocalErrorFromErrno(int error, bool creating) {
  switch (error) {
    case ENOENT:
      return creating ? kErrorPathNotFound : kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrorAccessDenied;
    case EEXIST:
      return kErrorFileExists;
    case ENOSPC:
      return 112;  // disk full
    default:
      return creating ? kErrorWriteFault : kErrorReadFault;
  }
}

// libcurl's results that stand for one error of ours, whatever the server said before.
constexpr std::pair<CURLcode, int32_t> kOwnErrors[] = {
    {CURLE_OK, kNoError},
    {CURLE_USE_SSL_FAILED, kErrorSecureChannel},  // a server that will not speak TLS when it must
    {CURLE_ABORTED_BY_CALLBACK, kErrorOperationCancelled},
    {CURLE_WRITE_ERROR, kErrorWriteFault},
    {CURLE_READ_ERROR, kErrorReadFault},
};
// Those that a negative reply before them explains better.
constexpr std::pair<CURLcode, int32_t> kTransportErrors[] = {
    {CURLE_PEER_FAILED_VERIFICATION, kErrorInvalidCertificateAuthority},
    {CURLE_SSL_CACERT_BADFILE, kErrorInvalidCertificateAuthority},
    {CURLE_SSL_CONNECT_ERROR, kErrorSecureChannel},
    {CURLE_UNSUPPORTED_PROTOCOL, kErrorUnrecognizedScheme},
    {CURLE_URL_MALFORMAT, kErrorInvalidUrl},
    {CURLE_COULDNT_RESOLVE_PROXY, kErrorNameNotResolved},
    {CURLE_COULDNT_RESOLVE_HOST, kErrorNameNotResolved},
    {CURLE_COULDNT_CONNECT, kErrorCannotConnect},
    {CURLE_OPERATION_TIMEDOUT, kErrorTimeout},
    {CURLE_FTP_ACCEPT_TIMEOUT, kErrorTimeout},
    {CURLE_OUT_OF_MEMORY, kErrorNotEnoughMemory},
    {CURLE_PROXY, kErrorInvalidProxyRequest},
    {CURLE_SEND_ERROR, kErrorConnectionAborted},
    {CURLE_RECV_ERROR, kErrorConnectionAborted},
    {CURLE_GOT_NOTHING, kErrorConnectionAborted},
    {CURLE_PARTIAL_FILE, kErrorConnectionAborted},
    {CURLE_WEIRD_SERVER_REPLY, kErrorConnectionAborted},
    {CURLE_FTP_ACCEPT_FAILED, kErrorConnectionAborted},
    {CURLE_FTP_CANT_GET_HOST, kErrorConnectionAborted},
};

// Our error for libcurl's result of a request, given the server's last reply code and the local file
// error of the request (0 if none).
int32_t ErrorForResult(CURLcode code, int lastReplyCode, int32_t localError) {
  for (auto [result, error] : kOwnErrors) {
    if (result != code) continue;
    bool local = code == CURLE_WRITE_ERROR || code == CURLE_READ_ERROR;
    return local && localError != 0 ? localError : error;
  }
  // A server that turns us away (421 Too many connections, 530) says why; that is the error, not the
  // silence or the hang-up that follows it.
  if (lastReplyCode >= 400) return kErrorExtended;
  for (auto [result, error] : kTransportErrors) {
    if (result == code) return error;
  }
  return kErrorInternal;
}

// How long a closing session waits for the server to answer its goodbye (the shortest libcurl allows).
constexpr long kGoodbyeSeconds = 1;

// How often and after what pause a login turned away with 421 is tried again.
constexpr int kBusyRetries = 3;
constexpr auto kBusyPause = std::chrono::milliseconds(150);

// How much of a download closed early is read on and dropped to keep the connection.
constexpr uint64_t kDrainBytes = 256 * 1024;
constexpr auto kDrainTime = std::chrono::seconds(2);

std::string CommandLine(std::string_view verb, std::string_view argument) {
  return std::string(verb) + " " + std::string(argument);
}

long WholeSeconds(std::chrono::milliseconds duration) {
  auto seconds = (duration.count() + 999) / 1000;
  return seconds < 1 ? 1 : static_cast<long>(seconds);
}

}  // namespace

std::FILE* OpenLocalFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::strlen(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

int32_t LastError() {
  return g_lastError;
}
void SetLastError(int32_t code) {
  g_lastError = code;
}

bool GetLastResponseInfo(std::string& text, size_t bufferLength) {
  if (g_lastResponse.empty() || g_lastResponse.size() + 1 > bufferLength) return false;
  text = g_lastResponse;
  return true;
}

// What one call goes through (a piecewise transfer is one call, from its opening to its closing). Every
// call starts from a fresh value.
struct CallState {
  uintptr_t context = 0;
  bool requesting = false;  // past libcurl's connect phase: sockets opened now are data connections
  bool resolvingReported = false;
  bool resolvedReported = false;
  bool greetingPending = false;
  std::string controlAddress;
  FtpReplyReader replies;
  int lastReplyCode = 0;
  bool transferAccepted = false;
  bool countDataAsRequests = false;
  uintptr_t transferHandleId = 0;
  int32_t localError = 0;
  uint64_t downloaded = 0;
  const char* capExceeded = nullptr;  // what went past its cap in this call
  uint64_t overflow = 0;
  std::chrono::steady_clock::time_point overflowStart;
  std::vector<std::pair<int, std::string>> requestReplies;  // those after the login, in order

  // Where data goes and comes from.
  std::FILE* localFile = nullptr;
  std::string* textSink = nullptr;
  bool writing = false;
  std::string received;  // remote file opened for reading; bytes before receivedOffset are taken
  size_t receivedOffset = 0;
  std::string pending;  // remote file opened for writing
  size_t pendingOffset = 0;
  bool endOfUpload = false;
  bool discarding = false;  // a download closed before its end reads on to keep the connection
  uint64_t discarded = 0;
  bool transferDone = false;
  CURLcode transferResult = CURLE_OK;
};

// A session's connection as libcurl's callbacks see it (through their user pointer): what the session
// holds, and what its callbacks make of the dialogue and the data.
struct Wire {
  InternetSettings internet;
  SessionSettings settings;
  CURL* easy = nullptr;
  // Holds the session's one connection between calls; every request runs through it.
  CURLM* multi = nullptr;
  bool added = false;  // easy is in multi
  bool loggedIn = false;
  bool connectionLost = false;
  bool pieceOpen = false;  // a remote file is open for reading or writing
  bool tlsActive = false;  // the server took AUTH TLS: the session runs encrypted
  uint64_t downloadCap = 0;
  std::chrono::steady_clock::time_point lastPump;
  uintptr_t handleId = 0;
  bool busy = false;
  bool closed = false;
  bool closeRequested = false;
  bool silent = false;  // no notifications while tearing the connection down
  CallState call;

  void Notify(int32_t status, const void* info, int32_t length) {
    if (silent || internet.callback == nullptr) return;
    internet.callback(handleId, call.context, status, info, length);
  }
  void NotifyCount(int32_t status, int32_t count) { Notify(status, &count, sizeof count); }
  void NotifyText(int32_t status, const std::string& text) {
    Notify(status, text.c_str(), static_cast<int32_t>(text.size() + 1));
  }
  void NotifyEmpty(int32_t status) { Notify(status, nullptr, 0); }

  void BeginCall(uintptr_t callContext) {
    busy = true;
    call = CallState{};
    call.context = callContext;
  }

  void OnReplyLine(std::string_view line) {
    if (call.greetingPending) {
      call.greetingPending = false;
      NotifyText(kStatusConnectedToServer, call.controlAddress);
      NotifyEmpty(kStatusReceivingResponse);
    }
    if (!call.replies.Feed(line)) return;
    g_lastResponse = call.replies.Text();
    call.lastReplyCode = call.replies.Code();
    // 234 answers AUTH only: the control connection turns to TLS now.
    if (call.lastReplyCode == 234) tlsActive = true;
    // Past the login a request of plain commands hears only the replies to them.
    if (call.requesting) call.requestReplies.emplace_back(call.lastReplyCode, call.replies.Text());
    if (call.lastReplyCode >= 100 && call.lastReplyCode < 200 && !call.transferAccepted) {
      call.transferAccepted = true;
      if (call.transferHandleId != 0) {
        NotifyCount(kStatusHandleCreated, static_cast<int32_t>(call.transferHandleId));
      }
    }
    NotifyCount(kStatusResponseReceived, static_cast<int32_t>(call.replies.Bytes()));
  }

  // Every line the server sends on the control connection arrives here, as libcurl documents.
  static size_t OnHeader(char* data, size_t, size_t size, void* user) {
    static_cast<Wire*>(user)->OnReplyLine(std::string_view(data, size));
    return size;
  }

  // libcurl has its control connection (logged in, or reused) and starts the request: every socket it
  // opens from here on is a data connection.
  static int OnRequestStart(void* user, char*, char*, int, int) {
    static_cast<Wire*>(user)->call.requesting = true;
    return CURL_PREREQFUNC_OK;
  }

  static int OnDebug(CURL*, curl_infotype type, char*, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    int32_t count = static_cast<int32_t>(size);
    switch (type) {
      case CURLINFO_HEADER_OUT:
        self->NotifyCount(kStatusSendingRequest, count);
        self->NotifyCount(kStatusRequestSent, count);
        self->NotifyEmpty(kStatusReceivingResponse);
        break;
      case CURLINFO_DATA_IN:
        self->NotifyCount(kStatusResponseReceived, count);
        // Each block of a file download is followed by the request for the next one.
        if (self->call.countDataAsRequests) self->NotifyCount(kStatusSendingRequest, 0);
        break;
      case CURLINFO_DATA_OUT:
        self->NotifyCount(kStatusSendingRequest, count);
        self->NotifyCount(kStatusRequestSent, count);
        break;
      default:
        break;
    }
    return 0;
  }

  static curl_socket_t OnOpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* self = static_cast<Wire*>(user);
    bool control = !self->call.requesting;
    if (control && self->loggedIn) {
      // The session's connection is gone; making a new one would land in the login folder unnoticed.
      self->connectionLost = true;
      return CURL_SOCKET_BAD;
    }
    curl_socket_t socket = ::socket(address->family, address->socktype, address->protocol);
    if (socket == CURL_SOCKET_BAD || !control) return socket;
    char text[INET6_ADDRSTRLEN] = "";
    if (address->family == AF_INET) {
      inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr, text, sizeof text);
    } else if (address->family == AF_INET6) {
      inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr, text, sizeof text);
    }
    self->call.controlAddress = text;
    if (!self->call.resolvedReported) {
      self->call.resolvedReported = true;
      if (!self->call.resolvingReported) self->NotifyText(kStatusResolvingName, self->settings.host);
      self->NotifyText(kStatusNameResolved, self->call.controlAddress);
    }
    self->NotifyText(kStatusConnectingToServer, self->call.controlAddress);
    self->call.greetingPending = true;
    return socket;
  }

  static int OnCloseSocket(void*, curl_socket_t socket) {
    CloseSocket(socket);
    return 0;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* self = static_cast<Wire*>(user);
    return self->closeRequested ? 1 : 0;
  }

  // Past its cap a transfer's bytes are dropped, and a short rest read on so that the transfer ends in
  // order and the connection stays; a long rest stops it (the connection goes with it). Returns whether
  // to keep the bytes, and sets `stop` when the transfer must end now.
  bool Keep(size_t size, uint64_t taken, uint64_t cap, const char* what, bool& stop) {
    stop = false;
    if (call.capExceeded == nullptr && taken + size <= cap) return true;
    if (call.capExceeded == nullptr) {
      call.capExceeded = what;
      call.overflowStart = std::chrono::steady_clock::now();
      call.overflow = 0;
    }
    call.overflow += size;
    stop = call.overflow > kDrainBytes || std::chrono::steady_clock::now() - call.overflowStart > kDrainTime;
    return false;
  }

  static size_t WriteToFile(char* data, size_t, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    bool stop = false;
    bool keep = self->Keep(size, self->call.downloaded, self->downloadCap, "download", stop);
    if (stop) return 0;
    if (!keep) return size;
    self->call.downloaded += size;
    if (std::fwrite(data, 1, size, self->call.localFile) != size) {
      self->call.localError = LocalErrorFromErrno(errno, true);
      return 0;
    }
    return size;
  }

  static size_t ReadFromFile(char* buffer, size_t, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    size_t read = std::fread(buffer, 1, size, self->call.localFile);
    if (read == 0 && std::ferror(self->call.localFile)) {
      self->call.localError = kErrorReadFault;
      return CURL_READFUNC_ABORT;
    }
    return read;
  }

  static size_t WriteToText(char* data, size_t, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    bool stop = false;
    bool keep =
        self->Keep(size, self->call.textSink->size(), self->settings.limits.maxListingBytes, "listing", stop);
    if (stop) return 0;
    if (keep) self->call.textSink->append(data, size);
    return size;
  }

  static size_t WriteToReceived(char* data, size_t, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    if (self->call.discarding) {
      self->call.discarded += size;
      return size;
    }
    bool stop = false;
    bool keep = self->Keep(size, self->call.downloaded, self->downloadCap, "download", stop);
    if (stop) return 0;
    if (!keep) return size;
    self->call.downloaded += size;
    self->call.received.append(data, size);
    return size;
  }

  static size_t ReadFromPending(char* buffer, size_t, size_t size, void* user) {
    auto* self = static_cast<Wire*>(user);
    size_t left = self->call.pending.size() - self->call.pendingOffset;
    if (left == 0) return self->call.endOfUpload ? 0 : CURL_READFUNC_PAUSE;
    size_t take = std::min(left, size);
    std::memcpy(buffer, self->call.pending.data() + self->call.pendingOffset, take);
    self->call.pendingOffset += take;
    if (self->call.pendingOffset == self->call.pending.size()) {
      self->call.pending.clear();
      self->call.pendingOffset = 0;
    }
    return take;
  }
};

// Everything a session needs while libcurl runs: the wire, and how requests are set up and driven on it.
struct FtpSession::State : Wire {
  // Resets the easy handle (its connection stays) and points it at `remotePath` on the server.
  void Prepare(std::string_view remotePath) {
    curl_easy_reset(easy);
    std::string url =
        "ftp://" + settings.host + ":" + std::to_string(settings.port) + "/" + PercentEncode(remotePath);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(easy, CURLOPT_USERNAME, settings.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, settings.password.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Wire::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Wire::OnRequestStart);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);  // the commands and data counts come as debug output
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &Wire::OnDebug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, &Wire::OnOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, &Wire::OnCloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Wire::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, static_cast<Wire*>(this));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(settings.limits.connectTimeout.count()));
    long stallSeconds = WholeSeconds(settings.limits.stallTimeout);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallSeconds);
    curl_easy_setopt(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(settings.limits.stallTimeout.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
    curl_easy_setopt(easy, CURLOPT_FTP_USE_EPRT, 0L);
    curl_easy_setopt(easy, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    // libcurl cannot run TLS over a data connection the server opens to us, so an encrypted session
    // always opens its data connections itself (passive).
    if ((settings.flags & kFlagPassive) == 0 && !tlsActive) curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(easy, CURLOPT_USE_SSL,
                     static_cast<long>(settings.requireTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    if (!settings.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, settings.caFile.c_str());
    ApplyProxy();
  }

  void ApplyProxy() {
    const std::string prefix = "ftp=ftp://";
    size_t at = internet.proxyList.find(prefix);
    if (internet.accessType != kOpenTypeProxy || at == std::string::npos) {
      curl_easy_setopt(easy, CURLOPT_PROXY, "");  // no proxy from the environment either
      return;
    }
    std::string address = internet.proxyList.substr(at + prefix.size());
    address = address.substr(0, address.find_first_of(" ;"));
    std::string proxy = "http://" + address;
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, 1L);
  }

  void SetTransferType(int32_t flags) {
    // libcurl's own ASCII mode rewrites line ends; our files are already in wire form, so curl moves
    // bytes in binary and only the server is told the type.
    static curl_slist* const kAscii = curl_slist_append(nullptr, "TYPE A");
    static curl_slist* const kBinary = curl_slist_append(nullptr, "TYPE I");
    curl_easy_setopt(easy, CURLOPT_PREQUOTE, (flags & 3) == kTransferTypeAscii ? kAscii : kBinary);
  }

  int32_t ErrorFromCurl(CURLcode code) {
    if (connectionLost) return kErrorConnectionAborted;
    if (call.capExceeded != nullptr) {
      g_lastResponse = std::string("The server sent more than this ") + call.capExceeded +
                       " may hold; the transfer was stopped.\r\n";
      return kErrorExtended;
    }
    return ErrorForResult(code, call.lastReplyCode, call.localError);
  }

  // Runs one request that needs no data connection: the commands go out before anything else.
  // Each command is sent as one libcurl lets fail ("*"), so that a refusal leaves the connection and its
  // current directory alone; the replies are checked here instead. The first refusal is the outcome.
  int32_t RunCommands(const std::vector<std::string>& commands) {
    Prepare("");
    curl_slist* list = nullptr;
    for (const auto& command : commands) list = curl_slist_append(list, ("*" + command).c_str());
    curl_easy_setopt(easy, CURLOPT_QUOTE, list);
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    CURLcode result = Perform();
    curl_slist_free_all(list);
    int32_t error = ErrorFromCurl(result);
    if (error != kNoError) return error;
    if (call.requestReplies.size() < commands.size()) return kErrorConnectionAborted;
    for (const auto& [code, text] : call.requestReplies) {
      if (code >= 400 || code < 100) {
        g_lastResponse = text;
        call.lastReplyCode = code;
        return kErrorExtended;
      }
    }
    return kNoError;
  }

  // Runs the prepared request on the session's connection to its end.
  CURLcode Perform() {
    call.transferDone = false;
    call.transferResult = CURLE_OK;
    Attach();
    DriveUntil([] { return false; });
    Detach();
    return call.transferResult;
  }

  void Attach() {
    if (!added) curl_multi_add_handle(multi, easy);
    added = true;
  }
  void Detach() {
    if (added) curl_multi_remove_handle(multi, easy);
    added = false;
  }

  void Pump() {
    if (!settings.waitPump) return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastPump < std::chrono::milliseconds(20)) return;
    lastPump = now;
    auto pump = settings.waitPump;  // the pump may replace the settings' copy
    pump();
  }

  // Runs the multi handle until `enough` holds or the transfer has ended.
  template <typename Predicate>
  void DriveUntil(Predicate enough) {
    while (!call.transferDone && !enough()) {
      int running = 0;
      curl_multi_perform(multi, &running);
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
          call.transferDone = true;
          call.transferResult = message->data.result;
        }
      }
      if (call.transferDone || enough()) return;
      Pump();
      if (call.transferDone || enough()) return;
      curl_multi_poll(multi, nullptr, 0, 50, nullptr);
    }
  }

  // Ends a piecewise transfer; its connection stays with the session.
  void EndMultiTransfer() {
    if (!pieceOpen) return;
    pieceOpen = false;
    Detach();
  }

  // Refuses a call on a closed or busy session (leaving the reason as the last error); otherwise marks
  // the session busy for the call.
  bool Enter(uintptr_t callContext) {
    if (closed) {
      SetLastError(kErrorIncorrectHandleState);
      return false;
    }
    if (busy) {
      SetLastError(kErrorFtpTransferInProgress);
      return false;
    }
    if (connectionLost) {
      SetLastError(kErrorConnectionAborted);
      return false;
    }
    BeginCall(callContext);
    return true;
  }

  // Ends a call: the session is free again, "handle closing" goes out if the transfer had a handle, and
  // the call's own outcome becomes the last error (after anything a callback did in between).
  bool Finish(int32_t error, bool announceClosing) {
    busy = false;
    if (closeRequested) TearDown();
    if (announceClosing) NotifyEmpty(kStatusHandleClosing);
    SetLastError(error);
    return error == kNoError;
  }

  // The goodbye's reply tells us nothing, so a server that has gone quiet must not hold a closing (often
  // a destructor, at program end, or the end of a piecewise transfer) for the whole stall bound.
  // libcurl says goodbye from the connection cache of a multi handle, which takes its reply bound from
  // the last request added to it; this readies the easy handle to hand over the short bound.
  void PrepareGoodbye() {
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kGoodbyeSeconds);
  }

  void TearDown() {
    if (easy == nullptr) return;
    EndMultiTransfer();
    Detach();
    // The closing belongs to the session, whatever call ran last.
    call.context = settings.context;
    NotifyEmpty(kStatusClosingConnection);
    silent = true;
    PrepareGoodbye();
    Attach();
    Detach();
    curl_multi_cleanup(multi);
    multi = nullptr;
    curl_easy_cleanup(easy);
    easy = nullptr;
    silent = false;
    NotifyEmpty(kStatusConnectionClosed);
    NotifyEmpty(kStatusHandleClosing);
  }
};

FtpSession::FtpSession(const InternetSettings& internet, const SessionSettings& session)
    : state_(std::make_unique<State>()) {
  state_->internet = internet;
  state_->settings = session;
}

FtpSession::~FtpSession() {
  state_->TearDown();
}

std::shared_ptr<FtpSession> FtpSession::Connect(const InternetSettings& internet,
                                                const SessionSettings& settings) {
  EnsureCurlInitialised();
  std::shared_ptr<FtpSession> session(new FtpSession(internet, settings));
  State& state = *session->state_;
  state.handleId = NewHandleId();
  state.easy = curl_easy_init();
  state.multi = curl_multi_init();
  state.downloadCap = settings.limits.maxDownloadBytes;
  if (state.easy == nullptr || state.multi == nullptr) {
    SetLastError(kErrorInternal);
    return nullptr;
  }
  state.BeginCall(settings.context);
  state.NotifyCount(kStatusHandleCreated, static_cast<int32_t>(state.handleId));
  if (IsUnsafeName(settings.host) || IsUnsafeName(settings.user) || IsUnsafeName(settings.password)) {
    state.Finish(kErrorIncorrectFormat, false);
    return nullptr;
  }
  state.NotifyText(kStatusResolvingName, settings.host);
  state.call.resolvingReported = true;
  int32_t error = state.RunCommands({});
  // A server that allows one connection per address may still count the connection this program closed
  // a moment ago ("421 Too many connections"); it is asked again briefly before the reply is reported.
  for (int retry = 0; retry < kBusyRetries && error == kErrorExtended && state.call.lastReplyCode == 421;
       ++retry) {
    auto until = std::chrono::steady_clock::now() + kBusyPause;
    while (std::chrono::steady_clock::now() < until && !state.closeRequested) {
      state.Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (state.closeRequested) break;
    error = state.RunCommands({});
  }
  if (!state.Finish(error, false)) {
    state.silent = true;  // a failed login has nothing to close
    state.TearDown();
    return nullptr;
  }
  state.loggedIn = true;
  return session;
}

bool FtpSession::UsesTls() const {
  return state_->tlsActive;
}

bool FtpSession::Close() {
  State& state = *state_;
  if (state.closed) {
    SetLastError(kNoError);
    return true;
  }
  state.closed = true;
  if (state.busy) {
    state.closeRequested = true;  // libcurl is below us on the stack; finish when it returns
  } else {
    state.TearDown();
  }
  SetLastError(kNoError);
  return true;
}

bool FtpSession::GetFile(std::string_view remote, const std::filesystem::path& local, bool failIfExists,
                         int32_t flags, uintptr_t context) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(context)) return false;
  if (!IsUsableFileName(remote)) return state.Finish(kErrorIncorrectFormat, false);
  std::error_code ignored;
  if (failIfExists && std::filesystem::exists(local, ignored)) return state.Finish(kErrorFileExists, false);

  std::filesystem::path partial = local;
  partial += ".part";
  std::FILE* file = OpenLocalFile(partial, "wb");
  if (file == nullptr) return state.Finish(LocalErrorFromErrno(errno, true), false);

  state.Prepare(remote);
  state.SetTransferType(flags);
  state.call.localFile = file;
  state.call.countDataAsRequests = true;
  state.call.transferHandleId = NewHandleId();
  curl_easy_setopt(state.easy, CURLOPT_WRITEFUNCTION, &Wire::WriteToFile);
  curl_easy_setopt(state.easy, CURLOPT_WRITEDATA, static_cast<Wire*>(&state));
  curl_easy_setopt(state.easy, CURLOPT_BUFFERSIZE, 256L * 1024L);
  CURLcode result = state.Perform();
  int32_t error = state.ErrorFromCurl(result);
  if (std::fclose(file) != 0 && error == kNoError) error = kErrorWriteFault;
  if (error == kNoError) {
    std::error_code renameError;
    std::filesystem::rename(partial, local, renameError);
    if (renameError) error = LocalErrorFromErrno(renameError.value(), true);
  }
  if (error != kNoError) std::filesystem::remove(partial, ignored);
  return state.Finish(error, state.call.transferAccepted);
}

bool FtpSession::PutFile(const std::filesystem::path& local, std::string_view remote, int32_t flags,
                         uintptr_t context) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(context)) return false;
  if (!IsUsableFileName(remote)) return state.Finish(kErrorIncorrectFormat, false);
  std::FILE* file = OpenLocalFile(local, "rb");
  if (file == nullptr) return state.Finish(LocalErrorFromErrno(errno, false), false);
  std::error_code sizeError;
  auto size = std::filesystem::file_size(local, sizeError);

  state.Prepare(remote);
  state.SetTransferType(flags);
  state.call.localFile = file;
  state.call.transferHandleId = NewHandleId();
  curl_easy_setopt(state.easy, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(state.easy, CURLOPT_READFUNCTION, &Wire::ReadFromFile);
  curl_easy_setopt(state.easy, CURLOPT_READDATA, static_cast<Wire*>(&state));
  if (!sizeError) curl_easy_setopt(state.easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  curl_easy_setopt(state.easy, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024L);
  CURLcode result = state.Perform();
  std::fclose(file);
  return state.Finish(state.ErrorFromCurl(result), state.call.transferAccepted);
}

std::unique_ptr<FtpFileHandle> FtpSession::OpenFile(std::string_view remote, uint32_t access, int32_t flags,
                                                    uintptr_t context) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(context)) return nullptr;
  bool writing = access == kGenericWrite;
  if (!IsUsableFileName(remote) || (access != kGenericRead && !writing)) {
    state.Finish(kErrorIncorrectFormat, false);
    return nullptr;
  }
  state.Prepare(remote);
  state.SetTransferType(flags);
  state.call.writing = writing;
  if (writing) {
    curl_easy_setopt(state.easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(state.easy, CURLOPT_READFUNCTION, &Wire::ReadFromPending);
    curl_easy_setopt(state.easy, CURLOPT_READDATA, static_cast<Wire*>(&state));
  } else {
    state.call.countDataAsRequests = true;
    curl_easy_setopt(state.easy, CURLOPT_WRITEFUNCTION, &Wire::WriteToReceived);
    curl_easy_setopt(state.easy, CURLOPT_WRITEDATA, static_cast<Wire*>(&state));
  }
  state.pieceOpen = true;
  state.Attach();
  state.DriveUntil([&] { return state.call.transferAccepted || state.closeRequested; });
  // Once the server has accepted the transfer the handle exists, even if the transfer has already ended
  // (a small file, or a connection that broke off, can arrive whole with the acceptance): the bytes
  // that came are read from the handle before its error, and closing it is the transfer's end.
  if (!state.call.transferAccepted || state.closeRequested) {
    int32_t error =
        state.closeRequested ? kErrorOperationCancelled : state.ErrorFromCurl(state.call.transferResult);
    if (error == kNoError) error = kErrorInternal;
    state.EndMultiTransfer();
    state.Finish(error, false);
    return nullptr;
  }
  // The session stays busy until the handle is closed.
  uintptr_t id = NewHandleId();
  state.NotifyCount(kStatusHandleCreated, static_cast<int32_t>(id));
  SetLastError(kNoError);
  return std::unique_ptr<FtpFileHandle>(new FtpFileHandle(keepAlive, id));
}

std::unique_ptr<FtpFindHandle> FtpSession::FindFirstFile(std::string_view pattern, FindData& first, int32_t,
                                                         uintptr_t context) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(context)) return nullptr;
  if (IsUnsafeName(pattern)) {
    state.Finish(kErrorIncorrectFormat, false);
    return nullptr;
  }
  std::string listing;
  state.Prepare("");
  std::string command = pattern.empty() ? std::string("LIST") : "LIST " + std::string(pattern);
  curl_easy_setopt(state.easy, CURLOPT_CUSTOMREQUEST, command.c_str());
  state.call.textSink = &listing;
  curl_easy_setopt(state.easy, CURLOPT_WRITEFUNCTION, &Wire::WriteToText);
  curl_easy_setopt(state.easy, CURLOPT_WRITEDATA, static_cast<Wire*>(&state));
  CURLcode result = state.Perform();
  int32_t error = state.ErrorFromCurl(result);
  // The server says "no such file" when nothing matches: for a search that is simply the end.
  if (error == kErrorExtended && (state.call.lastReplyCode == 550 || state.call.lastReplyCode == 450)) {
    error = kErrorNoMoreFiles;
  }
  std::vector<FindData> entries;
  if (error == kNoError) {
    entries = ParseListing(listing, CurrentCalendarTime());
    if (entries.empty()) error = kErrorNoMoreFiles;
  }
  state.Finish(error, false);
  if (error != kNoError) return nullptr;
  first = entries.front();
  uintptr_t id = NewHandleId();
  state.NotifyCount(kStatusHandleCreated, static_cast<int32_t>(id));
  SetLastError(kNoError);
  return std::unique_ptr<FtpFindHandle>(
      new FtpFindHandle(std::move(entries), state.internet.callback, id, context));
}

bool FtpSession::RunCommands(std::initializer_list<std::string_view> names,
                             std::initializer_list<std::string> commands) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(state.settings.context)) return false;
  for (std::string_view name : names) {
    if (IsUnsafeName(name)) return state.Finish(kErrorIncorrectFormat, false);
  }
  return state.Finish(state.RunCommands(std::vector<std::string>(commands)), false);
}

bool FtpSession::Command(std::string_view verb, std::string_view name) {
  return RunCommands({name}, {CommandLine(verb, name)});
}

bool FtpSession::RenameFile(std::string_view from, std::string_view to) {
  return RunCommands({from, to}, {CommandLine("RNFR", from), CommandLine("RNTO", to)});
}

void FtpSession::SetSizeCaps(const FtpLimits& limits) {
  state_->downloadCap = limits.maxDownloadBytes;
  state_->settings.limits.maxListingBytes = limits.maxListingBytes;
}

bool FtpSession::GetCurrentDirectory(std::string& directory) {
  State& state = *state_;
  auto keepAlive = shared_from_this();
  if (!state.Enter(state.settings.context)) return false;
  int32_t error = state.RunCommands({"PWD"});
  // RunCommands leaves at least one reply when it succeeds.
  auto parsed =
      error == kNoError ? DirectoryFromPwdReply(state.call.requestReplies.front().second) : std::nullopt;
  if (parsed.has_value()) directory = *parsed;
  if (error == kNoError && !parsed.has_value()) error = kErrorExtended;
  return state.Finish(error, false);
}

// ---- remote files read or written in pieces

FtpFileHandle::FtpFileHandle(std::shared_ptr<FtpSession> session, uintptr_t handleId)
    : session_(std::move(session)), handleId_(handleId) {}

FtpFileHandle::~FtpFileHandle() {
  if (open_) {
    int32_t saved = LastError();
    Close();
    SetLastError(saved);
  }
}

bool FtpFileHandle::Read(char* buffer, size_t size, size_t& bytesRead) {
  bytesRead = 0;
  FtpSession::State& state = *session_->state_;
  if (!open_ || !state.pieceOpen) {
    SetLastError(kErrorIncorrectHandleState);
    return false;
  }
  state.DriveUntil(
      [&] { return state.call.received.size() - state.call.receivedOffset >= size || state.closeRequested; });
  if (state.closeRequested) {
    SetLastError(kErrorOperationCancelled);
    return false;
  }
  size_t available = state.call.received.size() - state.call.receivedOffset;
  if (available > 0) {
    bytesRead = std::min(size, available);
    std::memcpy(buffer, state.call.received.data() + state.call.receivedOffset, bytesRead);
    state.call.receivedOffset += bytesRead;
    if (state.call.receivedOffset == state.call.received.size()) {
      state.call.received.clear();
      state.call.receivedOffset = 0;
    }
    SetLastError(kNoError);
    return true;
  }
  int32_t error = state.ErrorFromCurl(state.call.transferResult);
  SetLastError(error);
  return error == kNoError;
}

bool FtpFileHandle::Write(std::string_view data) {
  FtpSession::State& state = *session_->state_;
  if (!open_ || !state.pieceOpen) {
    SetLastError(kErrorIncorrectHandleState);
    return false;
  }
  state.call.pending.append(data);
  curl_easy_pause(state.easy, CURLPAUSE_CONT);
  state.DriveUntil([&] { return state.call.pending.empty() || state.closeRequested; });
  int32_t error = kNoError;
  if (state.closeRequested) {
    error = kErrorOperationCancelled;
  } else if (state.call.transferDone) {
    error = state.ErrorFromCurl(state.call.transferResult);
    if (error == kNoError && !state.call.pending.empty()) error = kErrorConnectionAborted;
  }
  SetLastError(error);
  return error == kNoError;
}

bool FtpFileHandle::Close() {
  if (!open_) {
    SetLastError(kErrorIncorrectHandleState);
    return false;
  }
  open_ = false;
  FtpSession::State& state = *session_->state_;
  int32_t error = kNoError;
  if (state.pieceOpen) {
    if (!state.closeRequested && !state.call.transferDone) {
      if (state.call.writing) {
        state.call.endOfUpload = true;
        curl_easy_pause(state.easy, CURLPAUSE_CONT);
        state.DriveUntil([&] { return state.closeRequested; });
      } else {
        // A download left before its end would cost the connection (and the session's current
        // directory); a short rest is read on and dropped instead. A long one is given up, and the
        // session reports its connection lost on the next call.
        state.call.received.clear();
        state.call.receivedOffset = 0;
        state.call.discarding = true;
        state.call.discarded = 0;
        auto until = std::chrono::steady_clock::now() + kDrainTime;
        state.DriveUntil([&] {
          return state.closeRequested || state.call.discarded > kDrainBytes ||
                 std::chrono::steady_clock::now() > until;
        });
        state.call.discarding = false;
        if (!state.call.transferDone) state.connectionLost = true;
      }
    }
    if (state.call.transferDone) error = state.ErrorFromCurl(state.call.transferResult);
    state.EndMultiTransfer();
  }
  // Ending a download before its end also leaves it unfinished: that is the caller's choice, not a fault.
  std::shared_ptr<FtpSession> keepAlive = std::move(session_);
  return state.Finish(error, true);
}

// ---- listings

FtpFindHandle::FtpFindHandle(std::vector<FindData> entries, StatusCallback callback, uintptr_t handleId,
                             uintptr_t context)
    : entries_(std::move(entries)), callback_(callback), handleId_(handleId), context_(context) {}

FtpFindHandle::~FtpFindHandle() {
  if (open_) {
    int32_t saved = LastError();
    Close();
    SetLastError(saved);
  }
}

bool FtpFindHandle::FindNextFile(FindData& next) {
  if (!open_ || next_ >= entries_.size()) {
    SetLastError(open_ ? kErrorNoMoreFiles : kErrorIncorrectHandleState);
    return false;
  }
  next = entries_[next_++];
  SetLastError(kNoError);
  return true;
}

void FtpFindHandle::Close() {
  if (!open_) return;
  open_ = false;
  SetLastError(kNoError);
  if (callback_ != nullptr) callback_(handleId_, context_, kStatusHandleClosing, nullptr, 0);
  SetLastError(kNoError);
}

}  // namespace inet
