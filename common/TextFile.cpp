#include "TextFile.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::optional<std::string> ReadFileBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes;
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (!ec) bytes.reserve(static_cast<std::size_t>(size));
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool WriteFileAtomically(const fs::path& file, std::string_view bytes) {
  fs::path temporary = file;
  temporary += ".tmp-write";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(temporary, file, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  return true;
}

bool AppendToFile(const fs::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) return false;
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  return static_cast<bool>(out);
}

bool CopyFileAtomically(const fs::path& from, const fs::path& to) {
  const auto bytes = ReadFileBytes(from);
  return bytes && WriteFileAtomically(to, *bytes);
}

bool RemoveFile(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
  return !fs::exists(file, ec);
}

bool FileExists(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}
