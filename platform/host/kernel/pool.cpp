// Pool memory: tagged blocks whose balance per tag tests can read. As on
// Windows, a block of a page or more is page-aligned and its contents are not
// zeroed; freeing with the wrong tag or freeing twice stops the machine.
#include "bugcheck.h"
#include "faults.h"

#include <ntddk.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

namespace host {

namespace {

constexpr unsigned char kFreshFill = 0xA5;
constexpr unsigned char kFreedFill = 0xDD;
constexpr SIZE_T kFilledBytes = 4096;

struct Block {
    ULONG tag;
    SIZE_T bytes;
};

struct Pool {
    std::mutex lock;
    std::unordered_map<void*, Block> blocks;
    std::map<ULONG, PoolBalance> balance;
};

Pool& ThePool()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Pool* pool = new Pool;
    return *pool;
}

}  // namespace

PoolBalance PoolBalanceForTag(ULONG tag)
{
    std::lock_guard guard(ThePool().lock);
    auto found = ThePool().balance.find(tag);
    return found == ThePool().balance.end() ? PoolBalance{} : found->second;
}

}  // namespace host

extern "C" PVOID NTAPI ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag)
{
    (void)PoolType;
    if (host::TakePoolFault(Tag)) {
        return nullptr;
    }
    const SIZE_T alignment = NumberOfBytes >= PAGE_SIZE ? PAGE_SIZE : 16;
    // Even an empty request gets a block of its own, as on Windows.
    const SIZE_T rounded = NumberOfBytes == 0 ? alignment : (NumberOfBytes + alignment - 1) / alignment * alignment;
    void* memory = std::aligned_alloc(alignment, rounded);
    if (memory == nullptr) {
        return nullptr;
    }
    // Fresh blocks are not zero, as on Windows; the start of a block is
    // where code that counts on zeros shows it.
    std::memset(memory, host::kFreshFill, NumberOfBytes < host::kFilledBytes ? NumberOfBytes : host::kFilledBytes);
    auto& pool = host::ThePool();
    std::lock_guard guard(pool.lock);
    pool.blocks[memory] = {Tag, NumberOfBytes};
    auto& balance = pool.balance[Tag];
    balance.blocks += 1;
    balance.bytes += static_cast<std::int64_t>(NumberOfBytes);
    return memory;
}

extern "C" VOID NTAPI ExFreePoolWithTag(PVOID P, ULONG Tag)
{
    auto& pool = host::ThePool();
    host::Block block{};
    {
        std::lock_guard guard(pool.lock);
        auto found = pool.blocks.find(P);
        if (found == pool.blocks.end()) {
            host::BugCheck("BAD_POOL_CALLER", "freeing a block that is not allocated");
        }
        block = found->second;
        if (Tag != 0 && Tag != block.tag) {
            host::BugCheck("BAD_POOL_CALLER", "freeing a block with another tag");
        }
        pool.blocks.erase(found);
        auto& balance = pool.balance[block.tag];
        balance.blocks -= 1;
        balance.bytes -= static_cast<std::int64_t>(block.bytes);
    }
    std::memset(P, host::kFreedFill, block.bytes < host::kFilledBytes ? block.bytes : host::kFilledBytes);
    std::free(P);
}
