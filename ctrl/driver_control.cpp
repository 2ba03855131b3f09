#include "driver_control.h"

namespace {

constexpr DWORD MinimumWaitMs = 1000;
constexpr DWORD MaximumWaitMs = 10000;

void CopyName(WCHAR (&field)[CNtDriverControl::NameChars], LPCWSTR text)
{
    if (text == nullptr) {
        for (WCHAR& unit : field) {
            unit = 0;
        }
        return;
    }
    lstrcpynW(field, text, CNtDriverControl::NameChars);
}

}  // namespace

CNtDriverControl::CNtDriverControl(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                                   BOOL createMode)
    : m_Manager(nullptr), m_Service(nullptr), m_ServiceOpen(FALSE)
{
    Configure(serviceName, displayName, driverPath, startType, createMode);
    Connect();
}

CNtDriverControl::~CNtDriverControl()
{
    CloseDriver();
    Disconnect();
}

void CNtDriverControl::Configure(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                                 BOOL createMode)
{
    m_StartType = startType;
    m_CreateMode = createMode;
    CopyName(m_ServiceName, serviceName);
    CopyName(m_DisplayName, displayName);
    CopyName(m_DriverPath, driverPath);
}

int CNtDriverControl::Reinitialize(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                                   BOOL createMode)
{
    if (m_ServiceOpen) {
        return 0;
    }
    Configure(serviceName, displayName, driverPath, startType, createMode);
    Connect();
    return 1;
}

int CNtDriverControl::Connect()
{
    if (m_Manager == nullptr) {
        // A failure shows later, when the service cannot be opened.
        m_Manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    }
    return 1;
}

int CNtDriverControl::Disconnect()
{
    if (m_Manager != nullptr) {
        CloseServiceHandle(m_Manager);
        m_Manager = nullptr;
    }
    return 1;
}

int CNtDriverControl::OpenDriver()
{
    if (m_Manager == nullptr) {
        return m_ServiceOpen;
    }
    if (m_CreateMode) {
        m_Service = CreateServiceW(m_Manager, m_ServiceName, m_DisplayName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                   m_StartType, SERVICE_ERROR_NORMAL, m_DriverPath, nullptr, nullptr, nullptr,
                                   nullptr, nullptr);
        // A service that exists, or is marked for deletion, is opened instead.
        if (m_Service == nullptr && GetLastError() != ERROR_SERVICE_EXISTS &&
            GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
            return 0;
        }
    }
    if (m_Service == nullptr) {
        m_Service = OpenServiceW(m_Manager, m_ServiceName, SERVICE_ALL_ACCESS);
    }
    m_ServiceOpen = m_Service != nullptr;
    return m_ServiceOpen;
}

int CNtDriverControl::StartDriver()
{
    if (!m_ServiceOpen) {
        return 0;
    }
    if (StartServiceW(m_Service, 0, nullptr)) {
        return WaitForState(SERVICE_RUNNING, 5);
    }
    return GetLastError() == ERROR_SERVICE_ALREADY_RUNNING ? 1 : 0;
}

int CNtDriverControl::StopDriver()
{
    if (!m_ServiceOpen) {
        return 0;
    }
    SERVICE_STATUS status = {};
    if (!ControlService(m_Service, SERVICE_CONTROL_STOP, &status)) {
        return 0;
    }
    return WaitForState(SERVICE_STOPPED, 5);
}

int CNtDriverControl::WaitForState(DWORD wanted, DWORD tries)
{
    if (!m_ServiceOpen) {
        return 0;
    }
    while (tries != 0) {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(m_Service, &status)) {
            return 0;
        }
        if (status.dwCurrentState == wanted) {
            return 1;
        }
        DWORD delay = status.dwWaitHint / 10;
        if (delay < MinimumWaitMs) {
            delay = MinimumWaitMs;
        } else if (delay > MaximumWaitMs) {
            delay = MaximumWaitMs;
        }
        Sleep(delay);
        --tries;
    }
    return 0;
}

int CNtDriverControl::RemoveDriver()
{
    if (!m_ServiceOpen) {
        return 0;
    }
    const BOOL removed = DeleteService(m_Service);
    CloseDriver();
    return removed ? 1 : 0;
}

void CNtDriverControl::CloseDriver()
{
    if (m_ServiceOpen) {
        CloseServiceHandle(m_Service);
        m_Service = nullptr;
        m_ServiceOpen = FALSE;
    }
}

int CNtDriverControl::QueryState(DWORD& state)
{
    if (!m_ServiceOpen) {
        return 0;
    }
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(m_Service, &status)) {
        return 0;
    }
    state = status.dwCurrentState;
    return 1;
}
