#pragma once
// Whole-file reads and crash-safe writes of the program's files.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// A path from UTF-8 text, the same on every platform ("användare.txt").
std::filesystem::path PathFromUtf8(std::string_view utf8);

// The file's bytes, or nothing when it is missing or cannot be read.
std::optional<std::string> ReadFileBytes(const std::filesystem::path& file);

// Replaces the file's content: the bytes go to a temporary file in the same folder, which is then
// renamed over the old one, so a crash leaves the old or the new file, never half of one.
// Returns false (and leaves the old file) when anything fails.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// Like WriteFileAtomically, but the new content is on the disk itself before the call returns, so
// it survives a power cut as well as a crash.
bool WriteFileDurably(const std::filesystem::path& file, std::string_view bytes);

// Appends the bytes and forces them to the disk before returning, creating the file when missing.
bool AppendToFileDurably(const std::filesystem::path& file, std::string_view bytes);

// Appends the bytes, creating the file when it is missing. Returns false on failure.
bool AppendToFile(const std::filesystem::path& file, std::string_view bytes);

// Copies a file over another atomically (see WriteFileAtomically). Returns false on failure.
bool CopyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes a file; a missing file is not an error. Returns false only when it still exists.
bool RemoveFile(const std::filesystem::path& file);

bool FileExists(const std::filesystem::path& file);

// Whether one of the file's lines (CR LF, LF or CR ended) is `line`; false for a missing file.
bool FileHasLine(const std::filesystem::path& file, std::string_view line);
// Adds `line` with CR LF unless the file has it, creating the file and its folders when missing, and
// replacing the file atomically (see WriteFileAtomically). Returns whether the file has it now.
bool AddLineToFile(const std::filesystem::path& file, std::string_view line);
