#pragma once
// What makes a downloaded program a release: an Ed25519 signature (libsodium) by the release key
// over the program's bytes and the version it is announced as, and bytes that this platform can run.
//
// The signed message is the text "Vimo release 1", the remote program name ("/Vimo"), the version
// in its shortest decimal form ("10", "9.5"), each ended by a NUL byte, followed by the program's
// bytes. The signature travels on its own as the 64 raw bytes of a detached signature, in the
// remote file named by ReleaseSignatureName(). Keys are raw bytes here and hex text in files and
// settings.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kReleasePublicKeySize = 32;
inline constexpr std::size_t kReleaseSecretKeySize = 64;
inline constexpr std::size_t kReleaseSignatureSize = 64;

// "/Vimo.sig" beside the remote program.
std::string ReleaseSignatureName();

// The version as it is signed and shown: the fewest digits that read back as the same float.
std::string ReleaseVersionText(float version);
// The leading number of a version field ("10", " 9.5", "+11"); anything else reads as 0.
float ReleaseVersionFrom(std::string_view text);

struct ReleaseKeyPair {
  std::string publicKey;
  std::string secretKey;
};
ReleaseKeyPair GenerateReleaseKeyPair();
// The public half of a secret key (libsodium keeps it in the secret key's second half).
std::string PublicKeyOf(std::string_view secretKey);

// The detached signature, or nothing when the secret key has the wrong size.
std::optional<std::string> SignRelease(std::string_view secretKey, float version, std::string_view program);
bool VerifyRelease(std::string_view publicKey, float version, std::string_view program,
                   std::string_view signature);

// The key this build trusts, compiled in from the CMake setting VIMO_RELEASE_PUBLIC_KEY.
std::string CompiledReleasePublicKey();

// True for an executable image of this build's own kind: an ELF program for this machine and word
// size on Linux, a PE image for this machine on Windows. Scripts and other platforms' builds are not.
bool IsExecutableForThisPlatform(std::string_view program);

std::string EncodeHex(std::string_view bytes);
// Nothing when the text is not an even number of hex digits (surrounding white space is allowed).
std::optional<std::string> DecodeHex(std::string_view text);
