// One kernel-driver service, through the service control manager: create
// or open it, start it, stop it, delete it.
#pragma once

#include <windows.h>

class CNtDriverControl {
public:
    // Strings are copied; each must be shorter than NameChars characters
    // (the callers refuse longer ones).
    static constexpr int NameChars = 255;

    CNtDriverControl(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                     BOOL createMode);
    virtual ~CNtDriverControl();
    CNtDriverControl(const CNtDriverControl&) = delete;
    CNtDriverControl& operator=(const CNtDriverControl&) = delete;

    // 0, and nothing changes, while a service is open.
    int Reinitialize(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType,
                     BOOL createMode);
    int Connect();
    int Disconnect();
    int OpenDriver();
    int StartDriver();
    int StopDriver();
    // Reads the state up to `tries` times, sleeping between reads for the
    // service's wait hint / 10, kept within 1 to 10 seconds.
    int WaitForState(DWORD wanted, DWORD tries);
    int RemoveDriver();
    void CloseDriver();
    int QueryState(DWORD& state);

private:
    void Configure(LPCWSTR serviceName, LPCWSTR displayName, LPCWSTR driverPath, DWORD startType, BOOL createMode);

    SC_HANDLE m_Manager;
    SC_HANDLE m_Service;
    BOOL m_ServiceOpen;
    DWORD m_StartType;
    WCHAR m_ServiceName[NameChars];
    WCHAR m_DisplayName[NameChars];
    WCHAR m_DriverPath[NameChars];
    BOOL m_CreateMode;
};
