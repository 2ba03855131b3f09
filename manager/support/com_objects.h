// COM's lifetimes as owners: the apartment of the calling thread, and one
// reference to an object. Shared by the manager and the installer.
#pragma once

#include <objbase.h>

namespace tessaly {

// COM for the calling thread, from construction to destruction.
class ComApartment {
public:
    ComApartment() : m_Result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_Result)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT m_Result;
};

// One reference to a COM object, released when it goes.
template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (m_Object != nullptr) {
            m_Object->Release();
        }
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    void** Receive() { return reinterpret_cast<void**>(&m_Object); }
    Interface** ReceiveTyped() { return &m_Object; }
    Interface* operator->() const { return m_Object; }
    explicit operator bool() const { return m_Object != nullptr; }

private:
    Interface* m_Object = nullptr;
};

}  // namespace tessaly
