#include "Release.h"

#include <sodium.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <stdexcept>

#include "Settings.h"
#include "UpdateTrial.h"
#include "VersionRecord.h"

namespace {

constexpr std::string_view kMessageTag = "Vimo release 1";

void InitSodium() {
  if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
}

std::string SignedMessage(float version, std::string_view program) {
  std::string message;
  const std::string versionText = ReleaseVersionText(version);
  message.reserve(kMessageTag.size() + versionText.size() + 32 + program.size());
  message.append(kMessageTag).push_back('\0');
  message.append(kRemoteMainProgram).push_back('\0');
  message.append(versionText).push_back('\0');
  message.append(program);
  return message;
}

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

std::uint16_t Read16(std::string_view bytes, std::size_t at, bool littleEndian) {
  const auto b0 = static_cast<unsigned char>(bytes[at]);
  const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
  return static_cast<std::uint16_t>(littleEndian ? (b0 | b1 << 8) : (b1 | b0 << 8));
}

std::uint32_t Read32(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// ELF e_machine and PE Machine values of the machine this build runs on.
#if defined(__x86_64__) || defined(_M_X64)
constexpr std::uint16_t kElfMachine = 62;
constexpr std::uint16_t kPeMachine = 0x8664;
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr std::uint16_t kElfMachine = 183;
constexpr std::uint16_t kPeMachine = 0xAA64;
#elif defined(__i386__) || defined(_M_IX86)
constexpr std::uint16_t kElfMachine = 3;
constexpr std::uint16_t kPeMachine = 0x14C;
#else
#error "Name this machine's executable format in Release.cpp"
#endif

[[maybe_unused]] bool IsElfForThisMachine(std::string_view image) {
  constexpr std::size_t kHeaderSize = 52;  // the smaller, 32-bit header
  if (image.size() < kHeaderSize || image.substr(0, 4) !=
                                        "\x7f"
                                        "ELF")
    return false;
  const int wordClass = image[4];  // 1: 32-bit, 2: 64-bit
  const int byteOrder = image[5];  // 1: little endian
  if (wordClass != (sizeof(void*) == 8 ? 2 : 1) || byteOrder != 1) return false;
  if (wordClass == 2 && image.size() < 64) return false;
  const std::uint16_t type = Read16(image, 16, true);  // 2: program, 3: position-independent program
  return (type == 2 || type == 3) && Read16(image, 18, true) == kElfMachine;
}

[[maybe_unused]] bool IsPeForThisMachine(std::string_view image) {
  if (image.size() < 64 || image.substr(0, 2) != "MZ") return false;
  const std::uint32_t peHeader = Read32(image, 60);
  if (peHeader > image.size() || image.size() - peHeader < 24) return false;
  if (image.substr(peHeader, 4) != std::string_view("PE\0\0", 4)) return false;
  const std::uint16_t characteristics = Read16(image, peHeader + 22, true);
  const bool isDll = (characteristics & 0x2000) != 0;
  return Read16(image, peHeader + 4, true) == kPeMachine && (characteristics & 0x0002) != 0 && !isDll;
}

}  // namespace

std::string ReleaseSignatureName() {
  return std::string(kRemoteMainProgram) + ".sig";
}

std::string ReleaseVersionText(float version) {
  return VersionText(version);
}

float ReleaseVersionFrom(std::string_view text) {
  return VersionNumberFrom(text);
}

ReleaseKeyPair GenerateReleaseKeyPair() {
  InitSodium();
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
  unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
  crypto_sign_keypair(publicKey, secretKey);
  ReleaseKeyPair pair{std::string(reinterpret_cast<char*>(publicKey), sizeof publicKey),
                      std::string(reinterpret_cast<char*>(secretKey), sizeof secretKey)};
  sodium_memzero(secretKey, sizeof secretKey);
  return pair;
}

std::string PublicKeyOf(std::string_view secretKey) {
  if (secretKey.size() != kReleaseSecretKeySize) return {};
  unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
  crypto_sign_ed25519_sk_to_pk(publicKey, Bytes(secretKey));
  return std::string(reinterpret_cast<char*>(publicKey), sizeof publicKey);
}

std::optional<std::string> SignRelease(std::string_view secretKey, float version, std::string_view program) {
  static_assert(crypto_sign_BYTES == kReleaseSignatureSize &&
                crypto_sign_SECRETKEYBYTES == kReleaseSecretKeySize &&
                crypto_sign_PUBLICKEYBYTES == kReleasePublicKeySize);
  if (secretKey.size() != kReleaseSecretKeySize) return std::nullopt;
  InitSodium();
  const std::string message = SignedMessage(version, program);
  unsigned char signature[crypto_sign_BYTES];
  crypto_sign_detached(signature, nullptr, Bytes(message), message.size(), Bytes(secretKey));
  return std::string(reinterpret_cast<char*>(signature), sizeof signature);
}

bool VerifyRelease(std::string_view publicKey, float version, std::string_view program,
                   std::string_view signature) {
  if (publicKey.size() != kReleasePublicKeySize || signature.size() != kReleaseSignatureSize) return false;
  InitSodium();
  const std::string message = SignedMessage(version, program);
  return crypto_sign_verify_detached(Bytes(signature), Bytes(message), message.size(), Bytes(publicKey)) == 0;
}

std::string CompiledReleasePublicKey() {
  return DecodeHex(VIMO_RELEASE_PUBLIC_KEY).value_or(std::string());
}

bool IsExecutableForThisPlatform(std::string_view program) {
#ifdef _WIN32
  return IsPeForThisMachine(program);
#else
  return IsElfForThisMachine(program);
#endif
}

std::string EncodeHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    text += kDigits[value >> 4];
    text += kDigits[value & 15];
  }
  return text;
}

std::optional<std::string> DecodeHex(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  const auto last = text.find_last_not_of(" \t\r\n");
  text = first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1);
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
    if (result.ec != std::errc() || result.ptr != text.data() + i + 2) return std::nullopt;
    bytes += static_cast<char>(value);
  }
  return bytes;
}
