#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/FtpLimits.h"
#include "ftp/FtpListing.h"

// The FTP transport under CFtp, built on one libcurl easy handle per session. It offers the steps CFtp
// needs (log in, whole-file get and put, remote files read or written in pieces, listings, directory
// commands, close) and behaves like the platform FTP service those steps come from:
//  - every call leaves its outcome in the calling thread's LastError() (0 = success), set as it returns;
//  - the server's last reply on this thread stays readable through GetLastResponseInfo(), with or
//    without a session;
//  - progress is reported through numbered status notifications (InetCodes.h), delivered to the
//    registered StatusCallback synchronously, on the calling thread, inside the call that causes them.
//
// One control connection carries the whole session, the piecewise transfers included, so the server's
// current directory holds from call to call. A command the server refuses fails that call with the
// server's reply and leaves the connection as it was. A connection that was lost (the server hung up, a
// transfer broke off) is never silently made again: every later call fails with kErrorConnectionAborted.
//
// Re-entrancy: a status callback may call into the session again. While a session is busy inside libcurl
// (or has a remote file open) any further call on it fails with kErrorFtpTransferInProgress instead of
// re-entering libcurl. The "handle closing" notification that ends a transfer is sent after libcurl has
// finished with the handle, so a callback may start the next transfer from there. Close() may be called
// from any callback; while the session is busy the close takes effect as soon as libcurl returns, and the
// transfer in progress is cancelled.
//
// Remote names are raw bytes (Windows-1252) sent to the server unchanged. Names holding CR, LF or NUL are
// refused with kErrorIncorrectFormat, so that no caller can smuggle a command onto the control connection.
// A session and its handles belong to one thread; different sessions may run on different threads.
namespace inet {

// handle: the number reported with "handle created"; context: the value given with the call.
using StatusCallback = void (*)(uintptr_t handle, uintptr_t context, int32_t status, const void* info,
                                int32_t infoLength);

int32_t LastError();
void SetLastError(int32_t code);

// fopen for a path in the platform's own encoding (wide on Windows).
std::FILE* OpenLocalFile(const std::filesystem::path& path, const char* mode);

// The server's last complete reply, all its lines with their CR LF. Returns false (and leaves `text`
// alone) when there is none or when it does not fit into `bufferLength` characters with a closing NUL.
bool GetLastResponseInfo(std::string& text, size_t bufferLength);

// What an Internet handle holds: who we are and how to reach the network.
struct InternetSettings {
  std::string agent;
  int32_t accessType = 1;  // kOpenTypeDirect or kOpenTypeProxy
  std::string proxyList;   // "ftp=ftp://host:port" when accessType is kOpenTypeProxy
  StatusCallback callback = nullptr;
};

struct SessionSettings {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  int32_t flags = 0;  // kFlagPassive selects passive data connections
  uintptr_t context = 0;
  FtpLimits limits;
  // Explicit TLS (AUTH TLS, then PBSZ 0 / PROT P for data) is used whenever the server accepts it, with
  // the server's certificate verified against the system's authorities, or against `caFile` when set.
  // A failed verification fails the login. With `requireTls` a server that refuses AUTH TLS is left
  // before USER is sent, and one that refuses PROT P before any file moves (kErrorSecureChannel);
  // without it, plain FTP is used with a server that refuses AUTH TLS.
  std::string caFile;
  bool requireTls = false;
  // Runs while a call waits on the network (every few tens of milliseconds), so that the caller's windows
  // stay live. It may call the session again: such calls fail as "transfer in progress", except Close().
  std::function<void()> waitPump;
};

class FtpFileHandle;
class FtpFindHandle;

class FtpSession : public std::enable_shared_from_this<FtpSession> {
 public:
  // Opens the control connection and logs in. Returns nullptr on failure (see LastError()).
  static std::shared_ptr<FtpSession> Connect(const InternetSettings& internet,
                                             const SessionSettings& session);
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  // Whether the server took AUTH TLS, so that the session runs encrypted.
  bool UsesTls() const;
  // Says goodbye and closes the control connection; later calls fail. Safe to call more than once.
  bool Close();

  // Transfer flags: kTransferTypeAscii sends "TYPE A" to the server, anything else "TYPE I"; the bytes are
  // moved unchanged either way. The local file is written to a temporary file beside it and renamed over
  // the target only when the whole file has arrived.
  bool GetFile(std::string_view remote, const std::filesystem::path& local, bool failIfExists, int32_t flags,
               uintptr_t context);
  bool PutFile(const std::filesystem::path& local, std::string_view remote, int32_t flags, uintptr_t context);

  // access: kGenericRead or kGenericWrite. Returns nullptr on failure. The session stays busy until the
  // returned handle is closed.
  std::unique_ptr<FtpFileHandle> OpenFile(std::string_view remote, uint32_t access, int32_t flags,
                                          uintptr_t context);

  // Lists `pattern` (empty: the current directory). Returns nullptr with kErrorNoMoreFiles when nothing
  // matched; otherwise the first entry is in `first` and the handle yields the rest.
  std::unique_ptr<FtpFindHandle> FindFirstFile(std::string_view pattern, FindData& first, int32_t flags,
                                               uintptr_t context);

  // One command on a name: "DELE", "MKD", "RMD" or "CWD".
  bool Command(std::string_view verb, std::string_view name);
  bool RenameFile(std::string_view from, std::string_view to);
  bool GetCurrentDirectory(std::string& directory);
  // The size caps of `limits` for the following calls (its time bounds stay as at Connect).
  void SetSizeCaps(const FtpLimits& limits);

 private:
  friend class FtpFileHandle;
  struct State;
  explicit FtpSession(const InternetSettings& internet, const SessionSettings& session);
  // One request of plain commands; `names` are the caller's names that go into them.
  bool RunCommands(std::initializer_list<std::string_view> names,
                   std::initializer_list<std::string> commands);

  std::unique_ptr<State> state_;
};

// A remote file being read or written in pieces. Closing it ends the transfer; its "handle closing"
// notification is sent from Close() (or the destructor) after the transfer has finished.
class FtpFileHandle {
 public:
  ~FtpFileHandle();
  FtpFileHandle(const FtpFileHandle&) = delete;
  FtpFileHandle& operator=(const FtpFileHandle&) = delete;

  // Reads up to `size` bytes. Success with 0 bytes read means the end of the file.
  bool Read(char* buffer, size_t size, size_t& bytesRead);
  // Hands all of `data` to the connection (it may still be in flight when this returns).
  bool Write(std::string_view data);
  // Finishes the transfer: an upload waits for the server's verdict, a download not yet at its end is
  // abandoned. Returns whether the transfer as a whole succeeded.
  bool Close();

 private:
  friend class FtpSession;
  FtpFileHandle(std::shared_ptr<FtpSession> session, uintptr_t handleId);
  std::shared_ptr<FtpSession> session_;
  uintptr_t handleId_;
  bool open_ = true;
};

// The remaining entries of a listing.
class FtpFindHandle {
 public:
  ~FtpFindHandle();
  FtpFindHandle(const FtpFindHandle&) = delete;
  FtpFindHandle& operator=(const FtpFindHandle&) = delete;

  // False with kErrorNoMoreFiles after the last entry.
  bool FindNextFile(FindData& next);
  void Close();

 private:
  friend class FtpSession;
  FtpFindHandle(std::vector<FindData> entries, StatusCallback callback, uintptr_t handleId,
                uintptr_t context);
  std::vector<FindData> entries_;
  size_t next_ = 1;
  StatusCallback callback_;
  uintptr_t handleId_;
  uintptr_t context_;
  bool open_ = true;
};

}  // namespace inet
