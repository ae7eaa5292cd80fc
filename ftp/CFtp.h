#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Settings.h"
#include "ftp/CFtpFiles.h"
#include "ftp/FtpBackend.h"
#include "ftp/FtpLimits.h"
#include "ftp/IInetStatus.h"

// What one CFtp call came to: code 0, or the error code (InetCodes.h) and the text ErrorMsg carries for
// it (also for failures that raise no event: a cancelled chunked transfer, a failed existence check).
struct FtpOutcome {
  int32_t code = 0;
  std::string text;
  operator bool() const { return code == 0; }  // NOLINT: the calls were bool before
};

// Receives the events of one CFtp object. All four are delivered synchronously, inside the CFtp call in
// progress, on the caller's thread. A handler may call the same CFtp again (start the next transfer from
// TransferCompleted, close the connection, even destroy the object); calls that would need the connection
// while a transfer is still moving data fail with an error instead of disturbing it.
class CFtpListener {
 public:
  virtual ~CFtpListener() = default;
  virtual void ErrorMsg(const std::string& sErr) = 0;
  virtual void StatusMsg(const std::string& Msg) = 0;
  virtual void TransferProgress(int32_t nPercent, double fBytesReceived, double fFileSize) = 0;
  virtual void TransferCompleted() = 0;
};

// One FTP session. Every operation blocks until it is done (each wait is bounded, see FtpLimits), returns
// its outcome (LastOutcome() for those that return something else) and reports a failure through the
// listener's ErrorMsg with the outcome's text, which begins with "!" (local file problems in the chunked
// transfers without it); nothing throws except CFtpFiles::Item. A call whose event handler destroyed
// the object returns an outcome of its own, not the object's. Remote names and all texts are Windows-1252
// bytes, sent to the server unchanged; local files are paths. Not copyable; destroying the object closes its
// connection. Each object belongs to the thread that uses it; objects on different threads are independent.
class CFtp : public IInetStatus {
 public:
  CFtp();
  ~CFtp() override;
  CFtp(const CFtp&) = delete;
  CFtp& operator=(const CFtp&) = delete;

  // The listener is not owned; nullptr means nobody listens. It must outlive its attachment.
  void SetListener(CFtpListener* listener) { listener_ = listener; }
  CFtpListener* Listener() const { return listener_; }
  // Runs between the pieces of DownloadFile and UploadFile, and every few tens of milliseconds while any
  // call waits on the network, so that the owner's windows keep repainting and answering (and can set
  // CancelTransfer). A call it makes on this object while another is under way fails ("transfer in
  // progress"); CloseConnection and destroying the object are allowed. New objects start with the
  // default pump, which does nothing until the program sets one.
  void SetEventPump(std::function<void()> pump) { pump_ = std::move(pump); }
  static void SetDefaultEventPump(std::function<void()> pump);
  // Time bounds for the next Connect, size caps from the next call on; new objects start with
  // FtpLimits::Default(). A listing or download past its cap fails with "!The server sent more than this
  // listing (download) may hold; the transfer was stopped." (also what LastResponseInfo then gives).
  void SetLimits(const FtpLimits& limits) { limits_ = limits; }
  // The PEM file of authorities that the server's TLS certificate must chain to, for the next Connect;
  // empty means the system's authorities. New objects start with the environment variable
  // VIMO_FTP_CA_FILE (how the demo trusts its self-signed certificate).
  void SetTlsAuthorities(const std::filesystem::path& caFile) { caFile_ = caFile; }
  // Whether the next Connect may log in without TLS (new objects: ReadFtpTls()). Even if it may, a server
  // that once completed TLS with this copy must do so again: `memory` keeps them, one "host:port" a line
  // (new objects: "Data/tls-servers.txt" in the program folder).
  void SetTls(FtpTls tls) { tls_ = tls; }
  void SetTlsMemory(const std::filesystem::path& memory) { tlsMemory_ = memory; }
  // A second session of the same account takes these over (with the port, host and login).
  FtpTls Tls() const { return tls_; }
  const std::filesystem::path& TlsMemory() const { return tlsMemory_; }
  const std::filesystem::path& TlsAuthorities() const { return caFile_; }

  bool IsConnected() const { return session_ != nullptr; }
  CFtpFiles& Files() { return files_; }
  const std::string& ProxyName() const { return proxyName_; }
  void ProxyName(const std::string& sNew) { proxyName_ = sNew; }
  // The getter stores and returns 21 while no port is set. Ports above 32767 are stored as their
  // 16-bit two's complement, as the type demands, and used as the unsigned port they stand for.
  int16_t Port();
  void Port(int16_t nNew) { port_ = nNew; }
  const std::string& UserName() const { return userName_; }
  void UserName(const std::string& sNew) { userName_ = sNew; }
  const std::string& Password() const { return password_; }
  void Password(const std::string& sNew) { password_ = sNew; }
  // 1 = ASCII ("TYPE A"), 2 = binary; the bytes of a file are moved unchanged in both.
  int32_t TransferType() const { return transferType_; }
  void TransferType(int32_t eNew) { transferType_ = eNew; }
  const std::string& RemoteHost() const { return remoteHost_; }
  void RemoteHost(const std::string& sNew) { remoteHost_ = sNew; }
  bool PassiveSementic() const { return passive_; }
  void PassiveSementic(bool bln) { passive_ = bln; }
  bool ShowAllMessages() const { return showAllMessages_; }
  void ShowAllMessages(bool bln) { showAllMessages_ = bln; }
  bool CancelTransfer() const { return cancelTransfer_; }
  void CancelTransfer(bool bln) { cancelTransfer_ = bln; }

  const FtpOutcome& LastOutcome() const { return lastOutcome_; }  // success before the first call
  // The server's last reply (of any session on this thread), or "" if there is none.
  std::string LastResponseInfo() const;

  // Empty arguments keep the stored values. An empty user name logs in as "anonymous" with the password
  // "guest", replacing any given password. A proxy name of blanks only means direct access.
  FtpOutcome Connect(const std::string& RemoteHost = "", const std::string& UserName = "",
                     const std::string& Password = "", const std::string& ProxyName = "");
  FtpOutcome CloseConnection();

  // Whether the server lists the name. A search that fails for any other reason than "no such name"
  // (a broken connection, say) answers true. Reports nothing except a missing session.
  bool FileExist(const std::string& sFileName);
  // Whole-file transfers. GetFile replaces the local file only once the whole file has arrived.
  FtpOutcome GetFile(const std::string& sRemoteFile, const std::filesystem::path& sLocalFile,
                     bool FailIfExists = false);
  FtpOutcome PutFile(const std::filesystem::path& sLocalFile, const std::string& sFileName);
  // Transfers in 1024-byte pieces, running the event pump between pieces and stopping when CancelTransfer
  // is set (DownloadFile never clears it; UploadFile clears it when the upload starts). A download that
  // fails or is cancelled leaves what it got in the local file.
  FtpOutcome DownloadFile(const std::string& RemoteFile, const std::filesystem::path& LocalFile);
  FtpOutcome UploadFile(const std::filesystem::path& LocalFile, const std::string& RemoteFile);
  // Small text files in ASCII mode, into or out of a string.
  FtpOutcome ReadAsciiFile(const std::string& RemoteFile, std::string& Buffer);
  FtpOutcome WriteAsciiFile(const std::string& RemoteFile, const std::string& Text);

  // Refills Files() with the entries matching Pattern (empty: the current directory).
  FtpOutcome ListDir(const std::string& Pattern = "", bool NoCache = false);
  FtpOutcome MakeDir(const std::string& DirectoryName);
  FtpOutcome ChangeDir(const std::string& sPath);
  std::string GetCurrDir();
  FtpOutcome DeleteFile(const std::string& sPath);
  FtpOutcome DeleteDir(const std::string& sPath);
  FtpOutcome RenFile(const std::string& sOldName, const std::string& sNewName);

  // The backend's status notifications for this object's requests; turns them into events.
  void CallbackFunc(int32_t dwInternetStatus, const void* lpvStatusInfo, int32_t dwStatusInfoLength) override;

  // The percentage a progress event carries: bytes / size × 100 rounded half to even, 0 for an unknown
  // size, at most 100.
  static int32_t ProgressPercent(double bytesReceived, double fileSize);

  // The proxy list handed to the network layer for a proxy name and port: "ftp=ftp://name:port".
  static std::string ProxyListFor(const std::string& proxyName, int16_t port);

 private:
  // The outcome for an error code of the backend, its text from the error table or the server's reply.
  static FtpOutcome OutcomeOf(int32_t code);
  // An event handler destroyed the object: the call ends without touching it.
  static FtpOutcome Gone();
  // Keeps the outcome as the last one and raises ErrorMsg for a failure (when `raise`); returns it. The
  // object may be gone when this returns.
  FtpOutcome Conclude(FtpOutcome outcome, bool raise = true);
  FtpOutcome ReportError(int32_t code);
  FtpOutcome NoSession();
  // A command whose one argument is a remote name, answered by a reply alone (MKD, CWD, DELE, RMD).
  FtpOutcome NamedCommand(const char* verb, const std::string& name);
  FtpOutcome ReceivePieces(inet::FtpFileHandle& remote, std::FILE* file, int& localError);
  FtpOutcome SendPieces(inet::FtpFileHandle& remote, std::FILE* file, uintmax_t length, bool& localOk);
  void RaiseErrorMsg(const std::string& text);
  void RaiseStatusMsg(const std::string& text);
  void LookupExpectedSize(const std::string& remoteName);
  void ProgressStep();
  // The side of a notification that counts or ends a transfer; sets the chatty messages. False when
  // an event handler destroyed the object.
  bool CountedStatus(int32_t status, int32_t count, std::string& message);

  std::shared_ptr<inet::FtpSession> session_;
  std::optional<inet::InternetSettings> internet_;
  std::string remoteHost_;
  std::string password_;
  int16_t port_ = 0;
  std::string userName_;
  std::string proxyName_;
  int32_t transferType_ = 0;
  CFtpFiles files_;
  uintptr_t statusContext_ = 0;
  double bytesReceived_ = 0;
  double fileSize_ = 0;
  int32_t transferState_ = 0;  // 0 idle, 3 download, 5 upload
  bool passive_ = false;
  bool showAllMessages_ = false;
  bool cancelTransfer_ = false;
  int32_t sentCount_ = 0;
  FtpOutcome lastOutcome_;

  CFtpListener* listener_ = nullptr;
  std::function<void()> pump_;
  FtpLimits limits_;
  std::filesystem::path caFile_;
  FtpTls tls_;
  std::filesystem::path tlsMemory_ = kTlsMemoryFile;
  // Cleared by the destructor, so that a call whose event handler destroyed the object can tell.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
