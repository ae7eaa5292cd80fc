#pragma once
// The layout shared by every copy of the program through the one FTP account: the remote names,
// the local files of the program folder, and the readers of the two server files whose content the
// start-up interprets ("version.txt" and "användare.txt").
//
// Remote names are Windows-1252 bytes, passed to CFtp exactly as they stand: three carry no
// leading "/", and the brain is read as "/brain.txt" but written as "brain.txt", so the layout
// relies on the account's login directory being the server's root. Local names are UTF-8 and
// relative to the program folder; turn them into paths with LocalFile.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "VersionRecord.h"

namespace remote {
inline constexpr std::string_view kIndexPage = "/index.html";
inline constexpr std::string_view kBrain = "/brain.txt";
inline constexpr std::string_view kBrainUpload = "brain.txt";
inline constexpr std::string_view kBrainBackup = "/brain2.txt";
inline constexpr std::string_view kBrainManualBackup = "/brain_manuellbackup.txt";
inline constexpr std::string_view kVersionRecord = "/version.txt";
inline constexpr std::string_view kFlagMessages = "/medd.txt";
inline constexpr std::string_view kUserList = "anv\xE4ndare.txt";
inline constexpr std::string_view kHolidayImage = "vimo_special.gif";
}  // namespace remote

namespace local {
inline constexpr std::string_view kBrain = "brain.txt";
inline constexpr std::string_view kBrainBackup = "brain_backup.txt";
inline constexpr std::string_view kVersionRecord = "version.txt";
inline constexpr std::string_view kFlagMessages = "medd.txt";
inline constexpr std::string_view kUserList = "användare.txt";
inline constexpr std::string_view kUserListUpload = "temp_användare.txt";
inline constexpr std::string_view kDataFolder = "Data";
inline constexpr std::string_view kCountedMarker = "Data/system.vimo";
inline constexpr std::string_view kHolidayImage = "Data/vimo_special.gif";
// The shared brain as the shutdown fetched it, with this copy's lessons replayed onto it.
inline constexpr std::string_view kMergedBrain = "Data/merge/brain.txt";
// The backup fetched when the shared brain looks much smaller than it, to count its records.
inline constexpr std::string_view kBackupForComparison = "Data/merge/brain2.txt";
// The flag messages as the server has them, fetched under the lock before the users' line changes.
inline constexpr std::string_view kFlagMessagesOnServer = "Data/merge/medd.txt";
// The one line of the counted marker.
inline constexpr std::string_view kCountedMarkerText = "kollad\r\n";
}  // namespace local

// A brain with fewer "*" records than this is damaged: the start-up restores it, the shutdown never
// uploads it.
inline constexpr std::size_t kWholeBrainCells = 1500;

// A local file of the program folder (production: the current folder, an empty path).
std::filesystem::path LocalFile(const std::filesystem::path& folder, std::string_view utf8Name);

// The number of users the list announces: its line breaks (CR LF), counted as they are, so a list
// whose last name lacks its line break counts one fewer.
int CountUsers(std::string_view userList);

// Whether one of the list's names equals `name` exactly (case-sensitive), reading it name by name
// with the item reader.
bool UserListContains(std::string_view userList, std::string_view name);

// The list with `name` added as its last line. A last line that lacks its line break gets one
// first, so the new name never runs into the previous one.
std::string UserListWithName(std::string_view userList, std::string_view name);
