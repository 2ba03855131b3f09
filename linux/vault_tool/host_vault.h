// A vault file on Linux, served by the driver's own VaultImage through the
// host platform: the file's folder becomes a drive of the host's drive table,
// and the image opens the file by its NT name there, as the driver would.
#pragma once

#include "vault_image.h"

#include <string>

namespace vault_tool {

// Up to 15 UTF-16 units; false for a longer text.
bool ToPasswordField(const std::string& utf8, VaultImage::PasswordField& field);

class HostVault {
public:
    explicit HostVault(const std::string& path);
    ~HostVault();
    HostVault(const HostVault&) = delete;
    HostVault& operator=(const HostVault&) = delete;

    // Mount with `password`; an absent file is made with a data area of
    // `newDataBytes` bytes, as the driver makes one.
    NTSTATUS Open(const std::string& password, unsigned long long newDataBytes);
    VaultImage& Image() { return m_Image; }
    // Whether another open holds the file without sharing it: a mounted
    // vault, here or under the driver. Asked after a refused Open, which
    // tells a wrong password from a held file no better than the driver.
    bool InUse() const;

private:
    std::u16string m_NtName;
    VaultImage m_Image;
};

}  // namespace vault_tool
