// Volumes on the disks that drive letters name: opening them whole,
// locking, dismounting, unlocking.
#include "win32_errors.h"
#include "win32_objects.h"

#include <winioctl.h>

#include <map>

namespace host {

namespace {

struct Volumes {
    std::mutex lock;
    std::map<Device*, std::weak_ptr<Volume>> byDisk;
};

Volumes& TheVolumes()
{
    // Never destroyed: handles may close late in the process's life.
    static Volumes* volumes = new Volumes;
    return *volumes;
}

}  // namespace

std::shared_ptr<Volume> VolumeFor(Device* disk)
{
    auto& volumes = TheVolumes();
    std::lock_guard guard(volumes.lock);
    std::shared_ptr<Volume> volume = volumes.byDisk[disk].lock();
    if (!volume) {
        volume = std::make_shared<Volume>(disk);
        volumes.byDisk[disk] = volume;
    }
    return volume;
}

DeviceFileHandle::~DeviceFileHandle()
{
    if (volume) {
        std::lock_guard guard(volume->lock);
        volume->handles.erase(this);
        // A lock goes with the handle that took it.
        if (volume->lockedBy == this) {
            volume->lockedBy = nullptr;
        }
    }
}

bool IsVolumeControl(DWORD code)
{
    return code == FSCTL_LOCK_VOLUME || code == FSCTL_DISMOUNT_VOLUME || code == FSCTL_UNLOCK_VOLUME;
}

BOOL VolumeControl(DeviceFileHandle& handle, DWORD code)
{
    if (!handle.volume) {
        return FailWithError(ERROR_INVALID_FUNCTION);
    }
    Volume& volume = *handle.volume;
    std::lock_guard guard(volume.lock);
    switch (code) {
    case FSCTL_LOCK_VOLUME:
        // Nobody else may have the volume open, neither a file on it nor
        // the volume itself.
        if (volume.lockedBy != nullptr || volume.handles.size() > 1) {
            return FailWithError(ERROR_ACCESS_DENIED);
        }
        volume.lockedBy = &handle;
        return TRUE;
    case FSCTL_DISMOUNT_VOLUME:
        // The volume carries no file system, so a dismount has nothing to
        // take down: requests to the disk pass through as before.
        return TRUE;
    case FSCTL_UNLOCK_VOLUME:
        if (volume.lockedBy != &handle) {
            return FailWithError(ERROR_NOT_LOCKED);
        }
        volume.lockedBy = nullptr;
        return TRUE;
    default:
        return FailWithError(ERROR_INVALID_FUNCTION);
    }
}

}  // namespace host
