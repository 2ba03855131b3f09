// The vault's data area as one file, "data", in a FUSE folder of its own:
// ntfs-3g mounts that file where no loop device can serve the vault. Every
// read and write goes through the image, so the file stays the driver's.
#pragma once

#include "byte_window.h"

#include <atomic>
#include <string>
#include <thread>

struct fuse;

namespace vault_tool {

class DataFileServer {
public:
    static constexpr const char* kFileName = "data";

    explicit DataFileServer(ByteWindow& window) : m_Window(window) {}
    ~DataFileServer() { Stop(); }
    DataFileServer(const DataFileServer&) = delete;
    DataFileServer& operator=(const DataFileServer&) = delete;

    // Mounts `folder` (empty, existing) and serves it on a thread of its own.
    // An empty text on success, otherwise what failed.
    std::string Start(const std::string& folder);
    // Ends the serving and takes the folder's mount away.
    void Stop();

    ByteWindow& Window() { return m_Window; }

private:
    ByteWindow& m_Window;
    struct fuse* m_Fuse = nullptr;
    bool m_Mounted = false;
    std::thread m_Loop;
    std::atomic<bool> m_LoopEnded{true};
};

}  // namespace vault_tool
