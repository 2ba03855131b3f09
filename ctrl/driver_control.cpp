#include "driver_control.h"

namespace {

constexpr DWORD MinimumWaitMs = 1000;
constexpr DWORD MaximumWaitMs = 10000;

void CopyName(WCHAR (&field)[NameChars], LPCWSTR text)
{
    if (text == nullptr) {
        for (WCHAR& unit : field) {
            unit = 0;
        }
        return;
    }
    lstrcpynW(field, text, NameChars);
}

}  // namespace

CNtDriverControl::CNtDriverControl(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                                   BOOL createMode)
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

bool CNtDriverControl::Reinitialize(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                                    BOOL createMode)
{
    if (IsServiceOpen()) {
        return false;
    }
    Configure(serviceName, displayName, driverPath, startType, createMode);
    Connect();
    return true;
}

bool CNtDriverControl::Connect()
{
    // A failed connection is not reported here: every caller goes on to
    // OpenDriver, which then fails with the connection's error still the
    // thread's last error, and that is the one answer its callers read.
    if (!m_Manager) {
        m_Manager.Reset(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    }
    return true;
}

bool CNtDriverControl::Disconnect()
{
    // The handle is gone whether or not its closing succeeds, and nothing
    // a caller could do would change that: there is no failure to report.
    m_Manager.Reset();
    return true;
}

bool CNtDriverControl::OpenDriver()
{
    if (!m_Manager) {
        return IsServiceOpen();
    }
    if (m_CreateMode) {
        SC_HANDLE created = CreateServiceW(m_Manager.Get(), m_ServiceName, m_DisplayName, SERVICE_ALL_ACCESS,
                                           SERVICE_KERNEL_DRIVER, m_StartType, SERVICE_ERROR_NORMAL, m_DriverPath,
                                           nullptr, nullptr, nullptr, nullptr, nullptr);
        const DWORD error = GetLastError();
        m_Service.Reset(created);
        // A service that exists, or is marked for deletion, is opened instead.
        if (!m_Service && error != ERROR_SERVICE_EXISTS && error != ERROR_SERVICE_MARKED_FOR_DELETE) {
            SetLastError(error);
            return false;
        }
    }
    if (!m_Service) {
        m_Service.Reset(OpenServiceW(m_Manager.Get(), m_ServiceName, SERVICE_ALL_ACCESS));
    }
    return IsServiceOpen();
}

bool CNtDriverControl::StartDriver()
{
    if (!IsServiceOpen()) {
        return false;
    }
    if (StartServiceW(m_Service.Get(), 0, nullptr)) {
        return WaitForState(SERVICE_RUNNING, 5);
    }
    return GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool CNtDriverControl::StopDriver()
{
    if (!IsServiceOpen()) {
        return false;
    }
    SERVICE_STATUS status = {};
    if (!ControlService(m_Service.Get(), SERVICE_CONTROL_STOP, &status)) {
        return false;
    }
    return WaitForState(SERVICE_STOPPED, 5);
}

bool CNtDriverControl::WaitForState(DWORD wanted, DWORD tries)
{
    if (!IsServiceOpen()) {
        return false;
    }
    while (tries != 0) {
        SERVICE_STATUS status = {};
        if (!QueryServiceStatus(m_Service.Get(), &status)) {
            return false;
        }
        if (status.dwCurrentState == wanted) {
            return true;
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
    return false;
}

bool CNtDriverControl::RemoveDriver()
{
    if (!IsServiceOpen()) {
        return false;
    }
    const bool removed = DeleteService(m_Service.Get()) != FALSE;
    const DWORD error = GetLastError();
    CloseDriver();
    SetLastError(error);
    return removed;
}

void CNtDriverControl::CloseDriver()
{
    m_Service.Reset();
}

bool CNtDriverControl::QueryState(DWORD& state)
{
    if (!IsServiceOpen()) {
        return false;
    }
    SERVICE_STATUS status = {};
    if (!QueryServiceStatus(m_Service.Get(), &status)) {
        return false;
    }
    state = status.dwCurrentState;
    return true;
}
