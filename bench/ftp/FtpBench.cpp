// Throughput of the whole-file and chunked transfers over loopback against the project's server and
// against pure-ftpd, each beside libcurl moving the same 200 MB file the same way in the same
// iterations: one logged-in connection kept for every transfer on both sides, active mode, binary
// type, the same buffer sizes. Target: each transfer at most 1.2x libcurl's time (the piecewise
// download, which reads through a pump of window events, at most 1.5x).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "BenchReport.h"
#include "FtpTestServer.h"
#include "PureFtpTestServer.h"
#include "ftp/CFtp.h"

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

constexpr std::size_t kFileSize = 200u * 1024u * 1024u;
constexpr int kIterations = 5;

enum class Server { Project, PureFtpd };

std::string NameOf(Server server) {
  return server == Server::Project ? "project's server" : "pure-ftpd";
}

struct Setup {
  std::unique_ptr<RealFtpServer> server;
  fs::path local;
  int port = 0;
  std::string user;
  std::string password;

  explicit Setup(Server kind) {
    std::string bytes(kFileSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + (i >> 12));
    // No limit of connections per address: the client and libcurl are logged in side by side.
    if (kind == Server::Project) {
      server = std::make_unique<FtpTestServer>();
    } else {
      server = std::make_unique<PureFtpTestServer>();
    }
    server->WriteFile("big.bin", bytes);
    port = server->port();
    user = server->user();
    password = server->password();
    local = server->root().parent_path() / "local";
    fs::create_directories(local);
    std::ofstream(local / "up.bin", std::ios::binary) << bytes;
  }
  std::string Url(const std::string& name) const {
    return "ftp://127.0.0.1:" + std::to_string(port) + "/" + name;
  }
};

Setup& TheSetup(Server server) {
  if (server == Server::Project) {
    static Setup project(Server::Project);
    return project;
  }
  static Setup pure(Server::PureFtpd);
  return pure;
}

std::unique_ptr<CFtp> Connected(const Setup& setup) {
  auto ftp = std::make_unique<CFtp>();
  ftp->Port(static_cast<int16_t>(setup.port));
  ftp->TransferType(2);
  ftp->SetTls(FtpTls::Optional);  // the benchmark servers speak plain FTP, as the baseline does
  if (!ftp->Connect("127.0.0.1", setup.user, setup.password)) return nullptr;
  return ftp;
}

// libcurl on its own: one easy handle for every transfer, so its connection stays logged in, with
// the client's settings (active mode with PORT, no CWD, 256 KiB buffers, binary type).
class CurlBaseline {
 public:
  explicit CurlBaseline(const Setup& setup) : setup_(setup), easy_(curl_easy_init()) {}
  ~CurlBaseline() { curl_easy_cleanup(easy_); }
  CurlBaseline(const CurlBaseline&) = delete;
  CurlBaseline& operator=(const CurlBaseline&) = delete;

  bool Download(const std::string& remote, const fs::path& local) {
    std::FILE* file = std::fopen(local.c_str(), "wb");
    if (file == nullptr) return false;
    Prepare(remote);
    curl_easy_setopt(easy_, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &std::fwrite);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, file);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, 256L * 1024L);
    const CURLcode result = curl_easy_perform(easy_);
    return std::fclose(file) == 0 && result == CURLE_OK;
  }

  bool Upload(const fs::path& local, const std::string& remote) {
    std::FILE* file = std::fopen(local.c_str(), "rb");
    if (file == nullptr) return false;
    Prepare(remote);
    curl_easy_setopt(easy_, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(easy_, CURLOPT_READFUNCTION, &std::fread);
    curl_easy_setopt(easy_, CURLOPT_READDATA, file);
    curl_easy_setopt(easy_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(fs::file_size(local)));
    curl_easy_setopt(easy_, CURLOPT_UPLOAD_BUFFERSIZE, 256L * 1024L);
    const CURLcode result = curl_easy_perform(easy_);
    std::fclose(file);
    return result == CURLE_OK;
  }

 private:
  void Prepare(const std::string& remote) {
    const std::string url = setup_.Url(remote);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_USERNAME, setup_.user.c_str());
    curl_easy_setopt(easy_, CURLOPT_PASSWORD, setup_.password.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(easy_, CURLOPT_FTP_USE_EPRT, 0L);
    curl_easy_setopt(easy_, CURLOPT_FTP_USE_EPSV, 0L);
    curl_easy_setopt(easy_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    curl_easy_setopt(easy_, CURLOPT_PROXY, "");
  }

  const Setup& setup_;
  CURL* easy_;
};

double Time(const std::function<bool()>& transfer, bool& ok) {
  const auto start = SteadyClock::now();
  ok = transfer() && ok;
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

enum class Operation { GetFile, PutFile, DownloadFileInPieces };

void BM_Transfer(benchmark::State& state, Server server, Operation operation) {
  const std::string names[] = {"GetFile", "PutFile", "DownloadFile in pieces, events pumped"};
  const std::string name = names[static_cast<int>(operation)] + " 200 MB, " + NameOf(server);
  Setup& setup = TheSetup(server);
  auto ftp = Connected(setup);
  CurlBaseline curl(setup);
  if (!ftp) {
    state.SkipWithError("no connection");
    bench::RecordFailure(name, "no connection");
    return;
  }
  int pumped = 0;
  ftp->SetEventPump([&] { ++pumped; });
  const fs::path upload = setup.local / "up.bin";
  const auto client = [&]() -> bool {
    switch (operation) {
      case Operation::GetFile:
        return ftp->GetFile("big.bin", setup.local / "get.bin");
      case Operation::PutFile:
        return ftp->PutFile(upload, "put.bin");
      case Operation::DownloadFileInPieces:
        return ftp->DownloadFile("big.bin", setup.local / "pieces.bin");
    }
    return false;
  };
  const auto baseline = [&]() -> bool {
    if (operation == Operation::PutFile) return curl.Upload(upload, "curl_put.bin");
    return curl.Download("big.bin", setup.local / "curl_get.bin");
  };
  bench::Samples clientMs;
  bench::Samples curlMs;
  bool ok = true;
  int iteration = 0;
  for (auto _ : state) {
    // Alternating which side goes first, so that neither always meets the other's leftovers.
    if (iteration++ % 2 == 0) {
      clientMs.Add(Time(client, ok));
      curlMs.Add(Time(baseline, ok));
    } else {
      curlMs.Add(Time(baseline, ok));
      clientMs.Add(Time(client, ok));
    }
    state.SetIterationTime(clientMs.Values().back() / 1000);
    if (!ok) break;
  }
  if (!ok) {
    state.SkipWithError("a transfer failed");
    bench::RecordFailure(name, "a transfer failed");
    return;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  state.counters["pumps"] = pumped;
  bench::RecordRatio(name, clientMs, "ms", "libcurl, same connection and mode", curlMs,
                     operation == Operation::DownloadFileInPieces ? 1.5 : 1.2);
}

void Register(const char* name, Server server, Operation operation) {
  benchmark::RegisterBenchmark(name, BM_Transfer, server, operation)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(kIterations)
      ->UseManualTime();
}

const bool registered = [] {
  Register("GetFile/project", Server::Project, Operation::GetFile);
  Register("PutFile/project", Server::Project, Operation::PutFile);
  Register("DownloadFileInPieces/project", Server::Project, Operation::DownloadFileInPieces);
  Register("GetFile/pure-ftpd", Server::PureFtpd, Operation::GetFile);
  Register("PutFile/pure-ftpd", Server::PureFtpd, Operation::PutFile);
  Register("DownloadFileInPieces/pure-ftpd", Server::PureFtpd, Operation::DownloadFileInPieces);
  return true;
}();

}  // namespace

VIMO_BENCHMARK_MAIN()
