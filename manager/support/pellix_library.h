// The control library Pellix.dll, bound by name at its first call. The
// manager does not import it: a missing or broken library must not stop the
// manager from starting, only the calls that need it fail.
#pragma once

#include "support/text.h"

#include <pellix.h>

namespace tessaly {

class PellixLibrary {
public:
    // The library is looked for as `fileName` in `programFolder`.
    explicit PellixLibrary(const Text& programFolder, const Text& fileName = u"Pellix.dll");
    ~PellixLibrary();
    PellixLibrary(const PellixLibrary&) = delete;
    PellixLibrary& operator=(const PellixLibrary&) = delete;

    // The exports' results: non-zero for success, 0 for failure, and 0 when
    // the library or the export cannot be bound.
    int SysDiskInstall(const Text& serviceName, const Text& driverPath, DWORD startType);
    int SysDiskUnInstall();
    int SysDiskMountEx(DWORD deviceNumber, const Text& imagePath, int sizeMegabytes, const Text& password,
                       const Text& drive);
    int SysDiskUnMountEx(const Text& drive, int force);
    int SysDiskChangePWD(const Text& drive, const Text& newPassword);

private:
    // The export, or nullptr; the library is loaded on the first request
    // and, after a failed load, tried again on the next.
    template <class Function>
    Function Bind(const char* name);

    Text m_Path;
    HMODULE m_Module = nullptr;
};

}  // namespace tessaly
