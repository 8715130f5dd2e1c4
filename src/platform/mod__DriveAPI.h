// Drives and folders of the host, in the shape the folder browser relies on: drive roots with a
// type code and a volume text, wildcard searches of a folder, and attribute queries by path.
//
// On Linux "C:" is "/", and the other mounted file systems a user browses get one letter each
// from D: on, in the order of the mount table. A name beginning with "." is hidden. Entries of
// a search come sorted by name ignoring case, as the folder browser expects of a file system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mod__FileAPI.h"

namespace veltrane {

inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrNormal = 0x80;
inline constexpr std::uint32_t kAttrInvalid = 0xFFFFFFFF;

// Drive type codes.
inline constexpr int kDriveUnknown = 0;
inline constexpr int kDriveNoRoot = 1;
inline constexpr int kDriveRemovable = 2;
inline constexpr int kDriveFixed = 3;
inline constexpr int kDriveRemote = 4;
inline constexpr int kDriveCdRom = 5;
inline constexpr int kDriveRamDisk = 6;

struct FoundEntry {
    std::string name;
    std::uint32_t attributes = 0;
};

struct Drive {
    char letter = 'C';
    std::string mountPoint;  // the host folder the drive stands for
    int type = kDriveFixed;
};

class FolderAccess {
  public:
    virtual ~FolderAccess() = default;
    // Every drive root as "X:\" followed by a NUL, in letter order.
    virtual std::string LogicalDriveStrings() const = 0;
    virtual int DriveType(std::string_view root) const = 0;
    // The volume text of a drive root (here its mount point), nullopt when it cannot be queried.
    virtual std::optional<std::string> VolumeLabel(std::string_view root) const = 0;
    // The entries matching a pattern ("C:\Music\*", "C:\Music\*.mp3"), never "." or "..";
    // nullopt when the folder cannot be searched.
    virtual std::optional<std::vector<FoundEntry>> Find(std::string_view pattern) const = 0;
    // The attribute bits of a path, kAttrInvalid (all bits set) on failure.
    virtual std::uint32_t Attributes(std::string_view path) const = 0;
};

// An entry of a host folder.
struct HostEntry {
    std::string name;      // the host's bytes
    bool folder = false;   // a folder, links followed
    bool regular = false;  // a regular file, links followed
    bool link = false;     // a symbolic link
};

// The entries of a host folder whose names match mask, "." and ".." left out, sorted by name
// ignoring case (ties by the exact bytes) as the folder browser lists them. nullopt when the
// folder cannot be read, with the reason in error.
std::optional<std::vector<HostEntry>> ReadHostFolder(const std::string& folder,
                                                     std::string_view mask, std::string& error);

// Whether a host path names a folder (links followed).
bool IsHostFolder(const std::string& path);

// Case-insensitive wildcard match with "*" and "?", as a drive-letter file system does it.
bool MatchesPattern(std::string_view name, std::string_view pattern);

// The drives of a mount table (the text of /proc/self/mounts): "C:" for "/" and one letter from
// D: to Z: for each other mount a user browses. isRemovable tells whether a block device is
// removable (such drives are listed with their type and skipped by the drive list).
std::vector<Drive> DrivesFromMountTable(std::string_view mounts,
                                        const std::function<bool(std::string_view)>& isRemovable);

// The host's drives, from its mount table and /sys/block.
std::vector<Drive> HostDrives();

// The drive map that file access uses for the same drives.
DriveRoots RootsOf(const std::vector<Drive>& drives);

class HostFolderAccess : public FolderAccess {
  public:
    explicit HostFolderAccess(std::vector<Drive> drives)
        : drives_(std::move(drives)), roots_(RootsOf(drives_)) {}
    std::string LogicalDriveStrings() const override;
    int DriveType(std::string_view root) const override;
    std::optional<std::string> VolumeLabel(std::string_view root) const override;
    std::optional<std::vector<FoundEntry>> Find(std::string_view pattern) const override;
    std::uint32_t Attributes(std::string_view path) const override;

  private:
    const Drive* DriveOf(std::string_view root) const;
    std::vector<Drive> drives_;
    DriveRoots roots_;
};

}  // namespace veltrane
