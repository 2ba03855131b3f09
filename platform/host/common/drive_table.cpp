#include <host/drive_table.h>

#include "drive_space.h"

#include <sys/statvfs.h>

#include <array>
#include <cctype>
#include <mutex>

namespace host {

namespace {

struct DriveTable {
    std::mutex lock;
    std::array<std::optional<Drive>, 26> drives;
};

DriveTable& Table()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static DriveTable* table = new DriveTable;
    return *table;
}

std::optional<std::size_t> SlotOf(char letter)
{
    int upper = std::toupper(static_cast<unsigned char>(letter));
    if (upper < 'A' || upper > 'Z') {
        return std::nullopt;
    }
    return static_cast<std::size_t>(upper - 'A');
}

}  // namespace

void MapDrive(char letter, Drive drive)
{
    if (auto slot = SlotOf(letter)) {
        std::lock_guard guard(Table().lock);
        Table().drives[*slot] = std::move(drive);
    }
}

void UnmapDrive(char letter)
{
    if (auto slot = SlotOf(letter)) {
        std::lock_guard guard(Table().lock);
        Table().drives[*slot].reset();
    }
}

void UnmapAllDrives()
{
    std::lock_guard guard(Table().lock);
    for (auto& drive : Table().drives) {
        drive.reset();
    }
}

std::optional<Drive> FindDrive(char letter)
{
    auto slot = SlotOf(letter);
    if (!slot) {
        return std::nullopt;
    }
    std::lock_guard guard(Table().lock);
    return Table().drives[*slot];
}

std::uint64_t FreeBytes(const Drive& drive)
{
    if (drive.freeBytes) {
        return *drive.freeBytes;
    }
    struct statvfs info {};
    if (statvfs(drive.root.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::uint64_t TotalBytes(const Drive& drive)
{
    if (drive.totalBytes) {
        return *drive.totalBytes;
    }
    struct statvfs info {};
    if (statvfs(drive.root.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize;
}

bool TryUseDriveSpace(char letter, std::uint64_t bytes)
{
    auto slot = SlotOf(letter);
    if (!slot) {
        return false;
    }
    std::unique_lock guard(Table().lock);
    auto& drive = Table().drives[*slot];
    if (!drive) {
        return false;
    }
    if (drive->freeBytes) {
        if (*drive->freeBytes < bytes) {
            return false;
        }
        *drive->freeBytes -= bytes;
        return true;
    }
    const Drive copy = *drive;
    guard.unlock();
    return FreeBytes(copy) >= bytes;
}

void ReturnDriveSpace(char letter, std::uint64_t bytes)
{
    auto slot = SlotOf(letter);
    if (!slot) {
        return;
    }
    std::lock_guard guard(Table().lock);
    auto& drive = Table().drives[*slot];
    if (drive && drive->freeBytes) {
        *drive->freeBytes += bytes;
    }
}

}  // namespace host
