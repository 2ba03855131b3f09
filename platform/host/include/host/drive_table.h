// The host's drive letters. Windows paths such as C:\dir\file (and the
// kernel's \??\C:\dir\file) resolve through this table to a host folder. Each
// drive also has a Windows drive type and, for tests, optional fixed amounts
// of free and total space that stand in for a small or full volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace host {

// Values of Windows' GetDriveType.
enum class DriveType : unsigned {
    Unknown = 0,
    NoRootDirectory = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

struct Drive {
    std::string root;  // host folder that is the drive's root directory
    DriveType type = DriveType::Fixed;
    std::optional<std::uint64_t> freeBytes;   // unset: the host file system's own figure
    std::optional<std::uint64_t> totalBytes;  // likewise, for the volume's size
};

// letter is A-Z in either case.
void MapDrive(char letter, Drive drive);
void UnmapDrive(char letter);
void UnmapAllDrives();
std::optional<Drive> FindDrive(char letter);

// Bytes still free on the drive: its fixed figure, or what the host file
// system reports for its root folder.
std::uint64_t FreeBytes(const Drive& drive);
// The volume's size: its fixed figure, or the size of the host file system
// that holds its root folder.
std::uint64_t TotalBytes(const Drive& drive);

}  // namespace host
