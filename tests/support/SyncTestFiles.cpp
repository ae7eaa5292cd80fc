#include "SyncTestFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <system_error>

#include "TextFile.h"
#include "Windows1252.h"

namespace fs = std::filesystem;

TempFolder::TempFolder(std::string_view prefix) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() / (std::string(prefix) + "-" + std::to_string(random()));
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
  ADD_FAILURE() << "Could not create a temporary folder";
}

TempFolder::~TempFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempFolder::operator/(std::string_view utf8Name) const {
  return path_ / PathFromUtf8(utf8Name);
}

std::string BrainText(int records) {
  std::string text;
  text.reserve(static_cast<std::size_t>(records) * 32);
  const std::string question = W("fråga ");
  for (int i = 0; i < records; ++i) {
    const std::string number = std::to_string(i);
    text += "\r\n*\r\n" + question + number + "\r\nsvar " + number + "\r\n";
  }
  return text;
}

std::string ReadBytes(const fs::path& file) {
  auto bytes = ReadFileBytes(file);
  if (!bytes) {
    ADD_FAILURE() << "Cannot read " << file;
    return {};
  }
  return *bytes;
}

void WriteBytes(const fs::path& file, std::string_view bytes) {
  std::error_code ec;
  if (file.has_parent_path()) fs::create_directories(file.parent_path(), ec);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) ADD_FAILURE() << "Cannot write " << file;
}
