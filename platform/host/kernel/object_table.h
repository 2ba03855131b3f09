// Kernel handles on the host: one table of reference-counted objects, so that
// a handle closed on one thread does not pull an object from under a call that
// is still using it on another.
#pragma once

#include <ntdef.h>

#include <memory>

namespace host {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> ReferenceHandle(HANDLE handle);
// False when the handle is not in the table.
bool RemoveHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> ReferenceHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(ReferenceHandle(handle));
}

}  // namespace host
