// A handle of the service control manager (to the manager itself or to one
// service), closed when its owner goes.
#pragma once

#include <windows.h>

#include <utility>

class ServiceHandle {
public:
    ServiceHandle() = default;
    explicit ServiceHandle(SC_HANDLE handle) : m_Handle(handle) {}
    ~ServiceHandle() { Reset(); }

    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    ServiceHandle(ServiceHandle&& other) noexcept : m_Handle(std::exchange(other.m_Handle, nullptr)) {}
    ServiceHandle& operator=(ServiceHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(std::exchange(other.m_Handle, nullptr));
        }
        return *this;
    }

    explicit operator bool() const { return m_Handle != nullptr; }
    SC_HANDLE Get() const { return m_Handle; }

    // Closes the held handle, if any, and holds `handle` instead.
    void Reset(SC_HANDLE handle = nullptr)
    {
        if (m_Handle != nullptr) {
            CloseServiceHandle(m_Handle);
        }
        m_Handle = handle;
    }

private:
    SC_HANDLE m_Handle = nullptr;
};
