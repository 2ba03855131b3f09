// Kernel objects on the host: reference-counted, reachable through handles
// and, for the object manager's Ob calls, through the body pointer that NT
// code holds (a KTHREAD, a DEVICE_OBJECT, a FILE_OBJECT, a token).
#pragma once

#include <ntddk.h>

#include <atomic>
#include <utility>

namespace host {

class KernelObject {
public:
    KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    void AddRef() { m_References.fetch_add(1, std::memory_order_relaxed); }
    void Release();
    // The object's type for ObReferenceObjectByHandle; none for the rest.
    virtual POBJECT_TYPE Type() const { return nullptr; }
    // What NT code is given for the object: its body (a KTHREAD, ...).
    virtual void* Body() { return this; }

protected:
    virtual ~KernelObject() = default;
    // Called once, when the last reference goes, before the object is deleted.
    virtual void OnLastReference() {}

private:
    std::atomic<long> m_References{1};
};

// An owning pointer to a kernel object.
template <class T>
class Ref {
public:
    Ref() = default;
    // Takes over a reference the caller already holds.
    static Ref Adopt(T* object)
    {
        Ref ref;
        ref.m_Object = object;
        return ref;
    }
    // Takes a new reference.
    static Ref Share(T* object)
    {
        if (object != nullptr) {
            object->AddRef();
        }
        return Adopt(object);
    }
    Ref(const Ref& other) : m_Object(other.m_Object)
    {
        if (m_Object != nullptr) {
            m_Object->AddRef();
        }
    }
    Ref(Ref&& other) noexcept : m_Object(std::exchange(other.m_Object, nullptr)) {}
    template <class U>
    Ref(Ref<U>&& other) noexcept : m_Object(other.Detach())
    {
    }
    Ref& operator=(Ref other) noexcept
    {
        std::swap(m_Object, other.m_Object);
        return *this;
    }
    ~Ref() { Reset(); }

    void Reset()
    {
        if (T* object = std::exchange(m_Object, nullptr)) {
            object->Release();
        }
    }
    T* Detach() { return std::exchange(m_Object, nullptr); }
    T* Get() const { return m_Object; }
    T* operator->() const { return m_Object; }
    T& operator*() const { return *m_Object; }
    explicit operator bool() const { return m_Object != nullptr; }

private:
    T* m_Object = nullptr;
};

template <class T, class... Args>
Ref<T> MakeObject(Args&&... args)
{
    return Ref<T>::Adopt(new T(std::forward<Args>(args)...));
}

// Handles: the table holds one reference per handle, and the access the
// handle was opened with. Handles whose access nobody asks about (the Win32
// objects) are opened with all access.
HANDLE InsertHandle(KernelObject* object, ACCESS_MASK granted = GENERIC_ALL);
// `granted`, when given, receives the handle's access.
Ref<KernelObject> ReferenceHandle(HANDLE handle, ACCESS_MASK* granted = nullptr);
// Whether a handle opened with `granted` allows `desired`. Rights are
// compared bit by bit: GENERIC_ALL allows everything, other generic rights
// are not mapped to an object type's specific ones.
bool AccessAllows(ACCESS_MASK granted, ACCESS_MASK desired);
// False when the handle is not in the table.
bool RemoveHandle(HANDLE handle);

template <class T>
Ref<T> ReferenceHandleAs(HANDLE handle)
{
    Ref<KernelObject> object = ReferenceHandle(handle);
    T* typed = dynamic_cast<T*>(object.Get());
    if (typed == nullptr) {
        return {};
    }
    object.Detach();
    return Ref<T>::Adopt(typed);
}

// Body pointers: what NT code holds, mapped back to the object.
void RegisterBody(const void* body, KernelObject* object);
void UnregisterBody(const void* body);
// No reference is taken; null when the pointer is no object's body.
KernelObject* ObjectFromBody(const void* body);

}  // namespace host
