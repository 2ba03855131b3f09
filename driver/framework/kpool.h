// Pool memory owned by an object: every block carries the driver's tag and
// goes back to the pool when its owner does.
#pragma once

#include <ntifs.h>

// "Vant", as the pool's tag readers show it.
constexpr ULONG VANTOR_POOL_TAG = ULONG('V') | ULONG('a') << 8 | ULONG('n') << 16 | ULONG('t') << 24;

// Class-level allocation from the pool, for framework objects made with new:
// the kernel has no C++ runtime heap.
template <POOL_TYPE Pool>
struct KPoolAllocated {
    static void* operator new(size_t bytes) noexcept { return ExAllocatePoolWithTag(Pool, bytes, VANTOR_POOL_TAG); }
    static void operator delete(void* block)
    {
        if (block != nullptr) {
            ExFreePoolWithTag(block, 0);
        }
    }
};

class KPoolBlock {
public:
    KPoolBlock() = default;
    KPoolBlock(POOL_TYPE type, SIZE_T bytes) : m_Block(ExAllocatePoolWithTag(type, bytes, VANTOR_POOL_TAG)) {}
    ~KPoolBlock() { Release(); }

    KPoolBlock(const KPoolBlock&) = delete;
    KPoolBlock& operator=(const KPoolBlock&) = delete;
    KPoolBlock(KPoolBlock&& other) : m_Block(other.m_Block) { other.m_Block = nullptr; }
    KPoolBlock& operator=(KPoolBlock&& other)
    {
        if (this != &other) {
            Release();
            m_Block = other.m_Block;
            other.m_Block = nullptr;
        }
        return *this;
    }

    explicit operator bool() const { return m_Block != nullptr; }
    PVOID Get() const { return m_Block; }
    template <class T>
    T* As() const
    {
        return static_cast<T*>(m_Block);
    }

    // Hands the block to a new owner, which frees it with ExFreePoolWithTag.
    PVOID Detach()
    {
        PVOID block = m_Block;
        m_Block = nullptr;
        return block;
    }

    void Release()
    {
        if (m_Block != nullptr) {
            ExFreePoolWithTag(m_Block, 0);
            m_Block = nullptr;
        }
    }

private:
    PVOID m_Block = nullptr;
};
