#include "TextFile.h"

#include <cstdio>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

bool FlushToDisk(std::FILE* file) {
  if (std::fflush(file) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file)) == 0;
#else
  return ::fsync(::fileno(file)) == 0;
#endif
}

// A rename or a new file is only durable once its folder's entry is; Windows has no such step.
void FlushFolder([[maybe_unused]] const fs::path& file) {
#ifndef _WIN32
  fs::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
#endif
}

// Opens with the platform's own path type, so that non-ASCII names work on Windows too.
std::FILE* OpenFile(const fs::path& file, const char* mode) {
#ifdef _WIN32
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(file.c_str(), wideMode.c_str());
#else
  return std::fopen(file.c_str(), mode);
#endif
}

bool WriteAndFlush(const fs::path& file, const char* mode, std::string_view bytes) {
  std::FILE* out = OpenFile(file, mode);
  if (out == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && FlushToDisk(out);
  return std::fclose(out) == 0 && written;
}

}  // namespace

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

bool WriteFileDurably(const fs::path& file, std::string_view bytes) {
  fs::path temporary = file;
  temporary += ".tmp-write";
  std::error_code ec;
  if (!WriteAndFlush(temporary, "wb", bytes)) {
    fs::remove(temporary, ec);
    return false;
  }
  fs::rename(temporary, file, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return false;
  }
  FlushFolder(file);
  return true;
}

bool AppendToFileDurably(const fs::path& file, std::string_view bytes) {
  std::error_code ec;
  const bool existed = fs::exists(file, ec);
  if (!WriteAndFlush(file, "ab", bytes)) return false;
  if (!existed) FlushFolder(file);
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

bool FileHasLine(const std::filesystem::path& file, std::string_view line) {
  const std::string bytes = ReadFileBytes(file).value_or("");
  for (size_t start = 0; start < bytes.size();) {
    size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    if (std::string_view(bytes).substr(start, end - start) == line) return true;
    start = end + 1;
  }
  return false;
}

bool AddLineToFile(const std::filesystem::path& file, std::string_view line) {
  if (FileHasLine(file, line)) return true;
  std::error_code ignored;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ignored);
  std::string bytes = ReadFileBytes(file).value_or("");
  bytes.append(line).append("\r\n");
  return WriteFileAtomically(file, bytes);
}
