// One kernel-driver service, through the service control manager: create
// or open it, start it, stop it, delete it.
#pragma once

#include "caller_input.h"
#include "service_handle.h"

#include <windows.h>

class CNtDriverControl {
public:
    // Strings are copied; each must be shorter than NameChars characters
    // (the callers refuse longer ones).
    CNtDriverControl(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                     BOOL createMode);
    virtual ~CNtDriverControl();
    CNtDriverControl(const CNtDriverControl&) = delete;
    CNtDriverControl& operator=(const CNtDriverControl&) = delete;

    // False, and nothing changes, while a service is open.
    bool Reinitialize(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                      BOOL createMode);
    // Both always answer true; see driver_control.cpp for why.
    bool Connect();
    bool Disconnect();
    bool OpenDriver();
    bool StartDriver();
    bool StopDriver();
    // Reads the state up to `tries` times, sleeping between reads for the
    // service's wait hint / 10, kept within 1 to 10 seconds.
    bool WaitForState(DWORD wanted, DWORD tries);
    bool RemoveDriver();
    void CloseDriver();
    bool QueryState(DWORD& state);

    bool IsServiceOpen() const { return static_cast<bool>(m_Service); }

private:
    void Configure(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType, BOOL createMode);

    ServiceHandle m_Manager;
    ServiceHandle m_Service;
    DWORD m_StartType;
    WCHAR m_ServiceName[NameChars];
    WCHAR m_DisplayName[NameChars];
    WCHAR m_DriverPath[NameChars];
    BOOL m_CreateMode;
};
