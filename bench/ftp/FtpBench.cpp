// Throughput of the whole-file and chunked transfers over loopback, each beside the curl command-line
// client moving the same 50 MB file from the same server in the same run.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CurlClient.h"
#include "FtpTestServer.h"
#include "ftp/CFtp.h"

namespace {

constexpr size_t kFileSize = 50u * 1024u * 1024u;

struct Setup {
  FtpTestServer server;
  std::filesystem::path local = server.root().parent_path() / "local";

  Setup() {
    std::filesystem::create_directories(local);
    std::string bytes(kFileSize, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + (i >> 12));
    server.WriteFile("big.bin", bytes);
    std::ofstream(local / "up.bin", std::ios::binary) << bytes;
  }
  std::string Url(const std::string& name) const {
    return "ftp://" + server.user() + ":" + server.password() +
           "@127.0.0.1:" + std::to_string(server.port()) + "/" + name;
  }
};

Setup& TheSetup() {
  static Setup setup;
  return setup;
}

std::unique_ptr<CFtp> Connected() {
  auto ftp = std::make_unique<CFtp>();
  ftp->Port(static_cast<int16_t>(TheSetup().server.port()));
  ftp->TransferType(2);
  if (!ftp->Connect("127.0.0.1", TheSetup().server.user(), TheSetup().server.password())) std::abort();
  return ftp;
}

void BM_GetFile(benchmark::State& state) {
  auto ftp = Connected();
  for (auto _ : state) {
    if (!ftp->GetFile("big.bin", TheSetup().local / "get.bin")) state.SkipWithError("GetFile failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_CurlDownload(benchmark::State& state) {
  std::string target = (TheSetup().local / "curl_get.bin").string();
  for (auto _ : state) {
    if (!bench::RunCurl({"-o", target, TheSetup().Url("big.bin")})) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_PutFile(benchmark::State& state) {
  auto ftp = Connected();
  for (auto _ : state) {
    if (!ftp->PutFile(TheSetup().local / "up.bin", "put.bin")) state.SkipWithError("PutFile failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_CurlUpload(benchmark::State& state) {
  std::string source = (TheSetup().local / "up.bin").string();
  for (auto _ : state) {
    if (!bench::RunCurl({"-T", source, TheSetup().Url("curl_put.bin")})) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void BM_DownloadFileInPiecesWithEventPump(benchmark::State& state) {
  auto ftp = Connected();
  int pumped = 0;
  ftp->SetEventPump([&] { ++pumped; });
  for (auto _ : state) {
    if (!ftp->DownloadFile("big.bin", TheSetup().local / "pieces.bin"))
      state.SkipWithError("DownloadFile failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  state.counters["pumps"] = pumped;
}

BENCHMARK(BM_CurlDownload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_GetFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_CurlUpload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_PutFile)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_DownloadFileInPiecesWithEventPump)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
