// Win32 handles to devices and volumes. A handle to a regular file is the
// kernel's own file handle; a handle opened on a device is one of these.
#pragma once

#include "../kernel/io_objects.h"

#include <host/kernel_io.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <set>

namespace host {

class Volume;

class DeviceFileHandle final : public KernelObject {
public:
    ~DeviceFileHandle() override;

    DeviceHandle device;              // the file object on the target device
    std::shared_ptr<Volume> volume;   // set when opened as a volume, "\\.\S:"
    bool sectorAligned = false;       // transfers must be whole sectors
    // What the handle may do with the volume's data and lets others do, for
    // the volume's share check.
    bool reads = false;
    bool writes = false;
    DWORD share = 0;

    std::mutex positionLock;
    LONGLONG position = 0;
};

// A volume on a disk device that a drive letter names. It has no file
// system: files cannot be opened on it (as on Windows' RAW), but it can be
// opened whole, locked, dismounted and unlocked, and requests to it pass
// down to the disk.
class Volume {
public:
    explicit Volume(Device* device) : disk(device) {}

    Device* disk;
    std::mutex lock;
    std::set<DeviceFileHandle*> handles;
    DeviceFileHandle* lockedBy = nullptr;
};

// The volume for a disk, made on first use.
std::shared_ptr<Volume> VolumeFor(Device* disk);

// Volume controls: FSCTL_LOCK_VOLUME, FSCTL_DISMOUNT_VOLUME, FSCTL_UNLOCK_VOLUME.
bool IsVolumeControl(DWORD code);
BOOL VolumeControl(DeviceFileHandle& handle, DWORD code);

}  // namespace host
