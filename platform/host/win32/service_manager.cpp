// The service control manager, for kernel-driver services: starting one
// loads its driver image from the image path (a Windows path, resolved
// through the drive table) and runs its entry point; stopping it runs the
// unload routine. A service marked for deletion goes once it is stopped and
// its last handle is closed.
#include "win32_errors.h"

#include "../common/dos_path.h"
#include "../kernel/object_table.h"

#include <host/kernel_io.h>
#include <host/utf16.h>
#include <host/win32_hooks.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace host {

namespace {

struct Service {
    std::u16string name;
    std::u16string displayName;
    std::u16string imagePath;
    DWORD type = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    DWORD state = SERVICE_STOPPED;
    bool markedForDeletion = false;
    int handles = 0;
    Driver* driver = nullptr;
    DWORD forcedState = 0;
    DWORD forcedWaitHint = 0;
};

struct ServiceDatabase {
    std::recursive_mutex lock;
    std::map<std::u16string, std::shared_ptr<Service>> services;  // by folded name
    std::atomic<bool> refuse{false};
};

ServiceDatabase& Database()
{
    // Never destroyed: service handles may close late in the process's life.
    static ServiceDatabase* database = new ServiceDatabase;
    return *database;
}

std::u16string Key(std::u16string_view name)
{
    std::u16string key(name);
    for (char16_t& unit : key) {
        unit = FoldCase(unit);
    }
    return key;
}

class ManagerHandle final : public KernelObject {};

class ServiceHandle final : public KernelObject {
public:
    explicit ServiceHandle(std::shared_ptr<Service> target) : service(std::move(target))
    {
        std::lock_guard guard(Database().lock);
        service->handles += 1;
    }
    ~ServiceHandle() override
    {
        std::lock_guard guard(Database().lock);
        service->handles -= 1;
        ForgetIfGone(*service);
    }

    // A service marked for deletion is forgotten once stopped and unopened.
    static void ForgetIfGone(Service& service)
    {
        if (service.markedForDeletion && service.handles == 0 && service.state == SERVICE_STOPPED) {
            Database().services.erase(Key(service.name));
        }
    }

    std::shared_ptr<Service> service;
};

std::shared_ptr<Service> ServiceFrom(SC_HANDLE handle)
{
    Ref<ServiceHandle> service = ReferenceHandleAs<ServiceHandle>(handle);
    return service ? service->service : nullptr;
}

bool IsManager(SC_HANDLE handle)
{
    return static_cast<bool>(ReferenceHandleAs<ManagerHandle>(handle));
}

void FillStatus(const Service& service, LPSERVICE_STATUS status)
{
    status->dwServiceType = service.type;
    status->dwCurrentState = service.forcedState != 0 ? service.forcedState : service.state;
    status->dwControlsAccepted = service.state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status->dwWin32ExitCode = NO_ERROR;
    status->dwServiceSpecificExitCode = 0;
    status->dwCheckPoint = 0;
    status->dwWaitHint = service.forcedState != 0 ? service.forcedWaitHint : 0;
}

// The host file of a driver's image path: "C:\dir\file", "\??\C:\..." or
// "\SystemRoot\..." (which this host does not have).
NTSTATUS ResolveImage(const std::u16string& imagePath, std::string& hostPath)
{
    HostPath resolved;
    NTSTATUS status = imagePath.rfind(u"\\??\\", 0) == 0 ? ResolveNtPath(imagePath, true, resolved)
                                                        : ResolveDosPath(imagePath, true, resolved);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (!resolved.exists) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    hostPath = resolved.path;
    return STATUS_SUCCESS;
}

SC_HANDLE FailHandle(DWORD error)
{
    FailWithError(error);
    return nullptr;
}

}  // namespace

void RefuseServiceManager(bool refuse)
{
    Database().refuse = refuse;
}

void ForceServiceStatus(const std::u16string& serviceName, DWORD state, DWORD waitHint)
{
    std::lock_guard guard(Database().lock);
    auto found = Database().services.find(Key(serviceName));
    if (found != Database().services.end()) {
        found->second->forcedState = state;
        found->second->forcedWaitHint = waitHint;
    }
}

void ResetServiceManager()
{
    std::lock_guard guard(Database().lock);
    for (auto& [key, service] : Database().services) {
        if (service->driver != nullptr) {
            UnloadDriver(service->driver);
            service->driver = nullptr;
        }
        service->state = SERVICE_STOPPED;
    }
    Database().services.clear();
    Database().refuse = false;
}

}  // namespace host

using host::Service;

extern "C" {

SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR lpMachineName, LPCWSTR lpDatabaseName, DWORD dwDesiredAccess)
{
    (void)dwDesiredAccess;
    if (host::Database().refuse) {
        return host::FailHandle(ERROR_ACCESS_DENIED);
    }
    if ((lpMachineName != nullptr && lpMachineName[0] != 0) || lpDatabaseName != nullptr) {
        // Only the local machine's active database is here.
        return host::FailHandle(ERROR_INVALID_PARAMETER);
    }
    host::Ref<host::ManagerHandle> manager = host::MakeObject<host::ManagerHandle>();
    return host::InsertHandle(manager.Get());
}

SC_HANDLE WINAPI CreateServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, LPCWSTR lpDisplayName,
                                DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                                LPCWSTR lpBinaryPathName, LPCWSTR lpLoadOrderGroup, LPDWORD lpdwTagId,
                                LPCWSTR lpDependencies, LPCWSTR lpServiceStartName, LPCWSTR lpPassword)
{
    (void)dwDesiredAccess;
    (void)lpLoadOrderGroup;
    (void)lpdwTagId;
    (void)lpDependencies;
    (void)lpServiceStartName;
    (void)lpPassword;
    if (!host::IsManager(hSCManager)) {
        return host::FailHandle(ERROR_INVALID_HANDLE);
    }
    if (lpServiceName == nullptr || lpServiceName[0] == 0 || lpBinaryPathName == nullptr ||
        lpBinaryPathName[0] == 0) {
        return host::FailHandle(ERROR_INVALID_PARAMETER);
    }
    if (lstrlenW(lpServiceName) > 256) {
        return host::FailHandle(ERROR_INVALID_NAME);
    }
    // Drivers only: this host runs no service processes.
    if (dwServiceType != SERVICE_KERNEL_DRIVER && dwServiceType != SERVICE_FILE_SYSTEM_DRIVER) {
        return host::FailHandle(ERROR_INVALID_PARAMETER);
    }
    if (dwStartType > SERVICE_DISABLED) {
        return host::FailHandle(ERROR_INVALID_PARAMETER);
    }
    auto& database = host::Database();
    std::lock_guard guard(database.lock);
    const std::u16string key = host::Key(host::AsUtf16(lpServiceName));
    auto found = database.services.find(key);
    if (found != database.services.end()) {
        return host::FailHandle(found->second->markedForDeletion ? ERROR_SERVICE_MARKED_FOR_DELETE
                                                                 : ERROR_SERVICE_EXISTS);
    }
    auto service = std::make_shared<Service>();
    service->name = std::u16string(host::AsUtf16(lpServiceName));
    service->displayName = lpDisplayName != nullptr ? std::u16string(host::AsUtf16(lpDisplayName)) : service->name;
    service->imagePath = std::u16string(host::AsUtf16(lpBinaryPathName));
    service->type = dwServiceType;
    service->startType = dwStartType;
    service->errorControl = dwErrorControl;
    database.services[key] = service;
    host::Ref<host::ServiceHandle> handle = host::MakeObject<host::ServiceHandle>(service);
    return host::InsertHandle(handle.Get());
}

SC_HANDLE WINAPI OpenServiceW(SC_HANDLE hSCManager, LPCWSTR lpServiceName, DWORD dwDesiredAccess)
{
    (void)dwDesiredAccess;
    if (!host::IsManager(hSCManager)) {
        return host::FailHandle(ERROR_INVALID_HANDLE);
    }
    if (lpServiceName == nullptr) {
        return host::FailHandle(ERROR_INVALID_ADDRESS);
    }
    auto& database = host::Database();
    std::lock_guard guard(database.lock);
    auto found = database.services.find(host::Key(host::AsUtf16(lpServiceName)));
    if (found == database.services.end()) {
        return host::FailHandle(ERROR_SERVICE_DOES_NOT_EXIST);
    }
    host::Ref<host::ServiceHandle> handle = host::MakeObject<host::ServiceHandle>(found->second);
    return host::InsertHandle(handle.Get());
}

BOOL WINAPI StartServiceW(SC_HANDLE hService, DWORD dwNumServiceArgs, LPCWSTR* lpServiceArgVectors)
{
    (void)dwNumServiceArgs;
    (void)lpServiceArgVectors;
    std::shared_ptr<Service> service = host::ServiceFrom(hService);
    if (!service) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    std::lock_guard guard(host::Database().lock);
    if (service->state == SERVICE_RUNNING) {
        return host::FailWithError(ERROR_SERVICE_ALREADY_RUNNING);
    }
    if (service->markedForDeletion) {
        return host::FailWithError(ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    if (service->startType == SERVICE_DISABLED) {
        return host::FailWithError(ERROR_SERVICE_DISABLED);
    }
    std::string image;
    NTSTATUS status = host::ResolveImage(service->imagePath, image);
    if (!NT_SUCCESS(status)) {
        return host::FailWithError(status == STATUS_OBJECT_PATH_NOT_FOUND ? ERROR_PATH_NOT_FOUND
                                                                          : ERROR_FILE_NOT_FOUND);
    }
    status = host::LoadDriver(image, service->name, &service->driver);
    if (!NT_SUCCESS(status)) {
        service->driver = nullptr;
        return host::FailWithStatus(status);
    }
    service->state = SERVICE_RUNNING;
    return TRUE;
}

BOOL WINAPI ControlService(SC_HANDLE hService, DWORD dwControl, LPSERVICE_STATUS lpServiceStatus)
{
    std::shared_ptr<Service> service = host::ServiceFrom(hService);
    if (!service) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    std::lock_guard guard(host::Database().lock);
    if (dwControl != SERVICE_CONTROL_STOP && dwControl != SERVICE_CONTROL_INTERROGATE) {
        return host::FailWithError(ERROR_INVALID_SERVICE_CONTROL);
    }
    if (service->state != SERVICE_RUNNING) {
        if (lpServiceStatus != nullptr) {
            host::FillStatus(*service, lpServiceStatus);
        }
        return host::FailWithError(ERROR_SERVICE_NOT_ACTIVE);
    }
    if (dwControl == SERVICE_CONTROL_STOP) {
        const NTSTATUS status = host::UnloadDriver(service->driver);
        if (!NT_SUCCESS(status)) {
            // The driver cannot go now: its devices are in use, or it has no
            // unload routine.
            return host::FailWithError(status == STATUS_DEVICE_BUSY ? ERROR_SERVICE_CANNOT_ACCEPT_CTRL
                                                                    : ERROR_INVALID_SERVICE_CONTROL);
        }
        service->driver = nullptr;
        service->state = SERVICE_STOPPED;
    }
    if (lpServiceStatus != nullptr) {
        host::FillStatus(*service, lpServiceStatus);
    }
    return TRUE;
}

BOOL WINAPI QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus)
{
    std::shared_ptr<Service> service = host::ServiceFrom(hService);
    if (!service) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    if (lpServiceStatus == nullptr) {
        return host::FailWithError(ERROR_INVALID_ADDRESS);
    }
    std::lock_guard guard(host::Database().lock);
    host::FillStatus(*service, lpServiceStatus);
    return TRUE;
}

BOOL WINAPI DeleteService(SC_HANDLE hService)
{
    std::shared_ptr<Service> service = host::ServiceFrom(hService);
    if (!service) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    std::lock_guard guard(host::Database().lock);
    if (service->markedForDeletion) {
        return host::FailWithError(ERROR_SERVICE_MARKED_FOR_DELETE);
    }
    service->markedForDeletion = true;
    return TRUE;
}

BOOL WINAPI CloseServiceHandle(SC_HANDLE hSCObject)
{
    if (!host::ReferenceHandleAs<host::ServiceHandle>(hSCObject) && !host::IsManager(hSCObject)) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    host::RemoveHandle(hSCObject);
    return TRUE;
}

}  // extern "C"
