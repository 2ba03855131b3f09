// CreateMutexW and ReleaseMutex. Named mutexes live in two namespaces of
// this process: "Global\" names in one, all others ("Local\" names and names
// without a prefix, which Windows puts in the session's namespace) in the
// other. Names compare exactly, as Windows compares object names here. A name
// stays taken while any handle to its mutex is open.
#include "win32_errors.h"

#include "../kernel/object_table.h"

#include <host/utf16.h>

#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace host {

namespace {

enum class Scope { Local, Global };

struct MutexState;

struct Names {
    std::mutex lock;
    std::map<std::pair<Scope, std::u16string>, std::weak_ptr<MutexState>> mutexes;
};

Names& TheNames()
{
    // Never destroyed: mutexes may be closed late in the process's life.
    static Names* names = new Names;
    return *names;
}

struct MutexState {
    ~MutexState()
    {
        if (!name.second.empty()) {
            auto& names = TheNames();
            std::lock_guard guard(names.lock);
            auto found = names.mutexes.find(name);
            // A new mutex may have taken the name meanwhile.
            if (found != names.mutexes.end() && found->second.expired()) {
                names.mutexes.erase(found);
            }
        }
    }

    std::pair<Scope, std::u16string> name;  // an empty name: unnamed
    std::mutex lock;
    std::thread::id owner;
    unsigned recursion = 0;
};

class MutexHandle final : public KernelObject {
public:
    explicit MutexHandle(std::shared_ptr<MutexState> target) : state(std::move(target)) {}
    std::shared_ptr<MutexState> state;
};

HANDLE FailMutex(DWORD error)
{
    FailWithError(error);
    return nullptr;
}

}  // namespace

}  // namespace host

extern "C" {

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName)
{
    (void)lpMutexAttributes;
    std::pair<host::Scope, std::u16string> name{host::Scope::Local, u""};
    if (lpName != nullptr) {
        std::u16string_view text = host::AsUtf16(lpName);
        if (text.substr(0, 7) == u"Global\\") {
            name.first = host::Scope::Global;
            text.remove_prefix(7);
        } else if (text.substr(0, 6) == u"Local\\") {
            text.remove_prefix(6);
        }
        if (text.size() > MAX_PATH) {
            return host::FailMutex(ERROR_FILENAME_EXCED_RANGE);
        }
        // Other separators would name folders of objects, which this host has not.
        if (text.find(u'\\') != std::u16string_view::npos) {
            return host::FailMutex(ERROR_PATH_NOT_FOUND);
        }
        name.second = text;
    }
    std::shared_ptr<host::MutexState> state;
    bool existed = false;
    if (name.second.empty()) {
        state = std::make_shared<host::MutexState>();
    } else {
        auto& names = host::TheNames();
        std::lock_guard guard(names.lock);
        std::weak_ptr<host::MutexState>& entry = names.mutexes[name];
        state = entry.lock();
        existed = state != nullptr;
        if (!existed) {
            state = std::make_shared<host::MutexState>();
            state->name = name;
            entry = state;
        }
    }
    // The caller owns a new mutex if it asked to; an existing one stays as it is.
    if (!existed && bInitialOwner) {
        std::lock_guard guard(state->lock);
        state->owner = std::this_thread::get_id();
        state->recursion = 1;
    }
    auto handle = host::MakeObject<host::MutexHandle>(std::move(state));
    HANDLE result = host::InsertHandle(handle.Get());
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return result;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
    host::Ref<host::MutexHandle> handle = host::ReferenceHandleAs<host::MutexHandle>(hMutex);
    if (!handle) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    host::MutexState& state = *handle->state;
    std::lock_guard guard(state.lock);
    if (state.recursion == 0 || state.owner != std::this_thread::get_id()) {
        return host::FailWithError(ERROR_NOT_OWNER);
    }
    if (--state.recursion == 0) {
        state.owner = std::thread::id();
    }
    return TRUE;
}

}  // extern "C"
