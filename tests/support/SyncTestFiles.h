#pragma once
// File helpers shared by the suites and benchmarks: a program folder of its own per test, and brains
// of a chosen size in the stored format (an empty line, "*", question, answer; CR LF line ends).

#include <filesystem>
#include <string>
#include <string_view>

// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// the object goes. Not copyable: one owner removes it.
class TempFolder {
 public:
  explicit TempFolder(std::string_view prefix = "vimo-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // A path inside the folder, from a UTF-8 relative name ("användare.txt", "Data/system.vimo").
  std::filesystem::path operator/(std::string_view utf8Name) const;

 private:
  std::filesystem::path path_;
};

// A brain of `records` records whose questions and answers are all different ("fråga 7",
// "svar 7"), as Windows-1252 text with CR LF line ends.
std::string BrainText(int records);

// The file's bytes; fails the running test and returns "" when it cannot be read.
std::string ReadBytes(const std::filesystem::path& file);
// Creates the folders on the way and writes the bytes; fails the running test on error.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);
