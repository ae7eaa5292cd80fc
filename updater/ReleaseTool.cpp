// vimo_release: the maintainer's side of signed updates.
//
//   vimo_release keygen  <secret-key-file>
//   vimo_release sign    <secret-key-file> <program> <version> [<signature-file>]
//   vimo_release publish <secret-key-file> <program> <version> <server-folder> [<news>]
//
// keygen writes a new secret key (hex, readable by its owner only) and prints the public key to
// build the programs with. sign writes the detached signature of a build for a version (default
// "<program>.sig"). publish signs and puts the build, its signature and the new first two fields of
// "version.txt" into the folder an FTP server serves, in that order, so that no copy of Vimo sees
// the new version announced before its files are there. Messages are for the maintainer, in English.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "ItemReader.h"
#include "Release.h"
#include "Settings.h"
#include "TextFile.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

namespace {

int Usage() {
  std::cerr << "usage:\n"
               "  vimo_release keygen  <secret-key-file>\n"
               "  vimo_release sign    <secret-key-file> <program> <version> [<signature-file>]\n"
               "  vimo_release publish <secret-key-file> <program> <version> <server-folder> [<news>]\n";
  return 2;
}

int Fail(const std::string& message) {
  std::cerr << "vimo_release: " << message << "\n";
  return 1;
}

std::optional<std::string> ReadSecretKey(const fs::path& file) {
  const auto text = ReadFileBytes(file);
  if (!text) return std::nullopt;
  auto key = DecodeHex(*text);
  if (!key || key->size() != kReleaseSecretKeySize) return std::nullopt;
  return key;
}

int KeyGen(const fs::path& secretFile) {
  if (fs::exists(secretFile)) return Fail(secretFile.string() + " exists; a key is never overwritten");
  const ReleaseKeyPair pair = GenerateReleaseKeyPair();
  // Created unreadable by others before the key is in it.
  if (!WriteFileAtomically(secretFile, "")) return Fail("cannot write " + secretFile.string());
  std::error_code error;
  fs::permissions(secretFile, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace,
                  error);
  if (error || !AppendToFile(secretFile, EncodeHex(pair.secretKey) + "\n")) {
    return Fail("cannot write " + secretFile.string());
  }
  std::cout << "public key " << EncodeHex(pair.publicKey) << "\n"
            << "build the programs with -DVIMO_RELEASE_PUBLIC_KEY=" << EncodeHex(pair.publicKey) << "\n";
  return 0;
}

// The signature of the build, checked the way the updater will check it.
std::optional<std::string> SignChecked(const fs::path& secretFile, const fs::path& program, float version,
                                       std::string& bytes) {
  const auto secretKey = ReadSecretKey(secretFile);
  if (!secretKey) {
    Fail(secretFile.string() + " does not hold a secret key (" + std::to_string(kReleaseSecretKeySize * 2) +
         " hex digits)");
    return std::nullopt;
  }
  const auto programBytes = ReadFileBytes(program);
  if (!programBytes || programBytes->empty()) {
    Fail("cannot read " + program.string() + ", or it is empty");
    return std::nullopt;
  }
  if (!IsExecutableForThisPlatform(*programBytes)) {
    Fail(program.string() + " is not a program for this platform; the updater would refuse it");
    return std::nullopt;
  }
  if (version <= 0.0f) {
    Fail("the version must be a number above 0");
    return std::nullopt;
  }
  auto signature = SignRelease(*secretKey, version, *programBytes);
  const std::string publicKey = PublicKeyOf(*secretKey);
  if (!signature || !VerifyRelease(publicKey, version, *programBytes, *signature)) {
    Fail("the signature does not verify");
    return std::nullopt;
  }
  if (publicKey != CompiledReleasePublicKey()) {
    std::cerr << "vimo_release: note: this key is not the one this build trusts (" << EncodeHex(publicKey)
              << "); only programs built with it accept the release\n";
  }
  bytes = std::move(*programBytes);
  return signature;
}

int Sign(const fs::path& secretFile, const fs::path& program, const std::string& versionText,
         std::optional<fs::path> signatureFile) {
  const float version = ReleaseVersionFrom(versionText);
  std::string bytes;
  const auto signature = SignChecked(secretFile, program, version, bytes);
  if (!signature) return 1;
  const fs::path target = signatureFile.value_or(fs::path(program.string() + ".sig"));
  if (!WriteFileAtomically(target, *signature)) return Fail("cannot write " + target.string());
  std::cout << "signed " << program.string() << " as version " << ReleaseVersionText(version) << ": "
            << target.string() << "\n";
  return 0;
}

// The new record: the version and the news replaced, the holiday fields kept, line ends as before.
std::string NewVersionRecord(const std::optional<std::string>& old, float version,
                             const std::string& newsUtf8) {
  std::string holiday = "0";
  std::string interval = "100";
  std::string lineEnd = "\n";
  if (old) {
    ItemReader reader(*old);
    reader.Next();
    reader.Next();
    if (!reader.AtEnd()) holiday = std::string(reader.Next());
    if (!reader.AtEnd()) interval = std::string(reader.Next());
    if (old->find("\r\n") != std::string::npos) lineEnd = "\r\n";
  }
  std::string news = Utf8ToWindows1252(newsUtf8);
  for (char& c : news) {
    if (c == ',') c = '|';
    if (c == '\r' || c == '\n') c = ' ';
  }
  return ReleaseVersionText(version) + "," + news + "," + holiday + "," + interval + lineEnd;
}

int Publish(const fs::path& secretFile, const fs::path& program, const std::string& versionText,
            const fs::path& folder, const std::string& news) {
  const float version = ReleaseVersionFrom(versionText);
  if (!fs::is_directory(folder)) return Fail(folder.string() + " is not a folder");
  std::string bytes;
  const auto signature = SignChecked(secretFile, program, version, bytes);
  if (!signature) return 1;
  // Remote names without their leading "/": the account's root is the served folder.
  const fs::path programTarget = folder / PathFromUtf8(std::string(kRemoteMainProgram).substr(1));
  const fs::path signatureTarget = folder / PathFromUtf8(ReleaseSignatureName().substr(1));
  const fs::path recordTarget = folder / "version.txt";
  const std::string record = NewVersionRecord(ReadFileBytes(recordTarget), version, news);
  if (!WriteFileAtomically(programTarget, bytes)) return Fail("cannot write " + programTarget.string());
  if (!WriteFileAtomically(signatureTarget, *signature))
    return Fail("cannot write " + signatureTarget.string());
  if (!WriteFileAtomically(recordTarget, record)) return Fail("cannot write " + recordTarget.string());
  std::cout << "published version " << ReleaseVersionText(version) << " in " << folder.string() << ": "
            << programTarget.filename().string() << ", " << signatureTarget.filename().string()
            << ", version.txt\n";
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "keygen") return KeyGen(args[1]);
  if ((args.size() == 4 || args.size() == 5) && args[0] == "sign") {
    return Sign(args[1], args[2], args[3],
                args.size() == 5 ? std::optional<fs::path>(args[4]) : std::nullopt);
  }
  if ((args.size() == 5 || args.size() == 6) && args[0] == "publish") {
    return Publish(args[1], args[2], args[3], args[4], args.size() == 6 ? args[5] : std::string());
  }
  return Usage();
}
