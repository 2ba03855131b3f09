#include "support/pellix_library.h"

namespace tessaly {

PellixLibrary::PellixLibrary(const Text& programFolder, const Text& fileName)
    : m_Path(programFolder + u"\\" + fileName)
{
}

PellixLibrary::~PellixLibrary()
{
    if (m_Module != nullptr) {
        FreeLibrary(m_Module);
    }
}

template <class Function>
Function PellixLibrary::Bind(const char* name)
{
    if (m_Module == nullptr) {
        m_Module = LoadLibraryW(Wide(m_Path));
        if (m_Module == nullptr) {
            return nullptr;
        }
    }
    // Functions are bound through an untyped pointer, as GetProcAddress
    // hands them out.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_Module, name)));
}

int PellixLibrary::SysDiskInstall(const Text& serviceName, const Text& driverPath, DWORD startType)
{
    auto function = Bind<SysDiskInstallFn>("SysDiskInstall");
    return function != nullptr ? function(Wide(serviceName), Wide(driverPath), startType) : 0;
}

int PellixLibrary::SysDiskUnInstall()
{
    auto function = Bind<SysDiskUnInstallFn>("SysDiskUnInstall");
    return function != nullptr ? function() : 0;
}

int PellixLibrary::SysDiskMountEx(DWORD deviceNumber, const Text& imagePath, int sizeMegabytes, const Text& password,
                                  const Text& drive)
{
    auto function = Bind<SysDiskMountExFn>("SysDiskMountEx");
    return function != nullptr
               ? function(deviceNumber, Wide(imagePath), sizeMegabytes, Wide(password), Wide(drive))
               : 0;
}

int PellixLibrary::SysDiskUnMountEx(const Text& drive, int force)
{
    auto function = Bind<SysDiskUnMountExFn>("SysDiskUnMountEx");
    return function != nullptr ? function(Wide(drive), force) : 0;
}

int PellixLibrary::SysDiskChangePWD(const Text& drive, const Text& newPassword)
{
    auto function = Bind<SysDiskChangePWDFn>("SysDiskChangePWD");
    return function != nullptr ? function(Wide(drive), Wide(newPassword)) : 0;
}

}  // namespace tessaly
