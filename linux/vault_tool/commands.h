// The tool's subcommands. Each returns the process's exit status: 0 done,
// 1 refused (a wrong password, a rule broken), 2 an error (a missing file,
// a file that is not a vault, bad arguments).
#pragma once

#include <string>

namespace vault_tool {

constexpr int kDone = 0;
constexpr int kRefused = 1;
constexpr int kError = 2;

int Info(const std::string& file);
int Check(const std::string& file);
int Create(const std::string& file, const std::string& sizeText);
int ChangePassword(const std::string& file);
// `viaFuse` takes the FUSE file even where a loop device would serve.
int Mount(const std::string& file, const std::string& folder, bool viaFuse);
int Unmount(const std::string& folder);

// "500M", "2G", "1.5G", "64K": bytes, whole 512-byte sectors; 0 for a text
// that names no size.
unsigned long long SizeFromText(const std::string& text);

}  // namespace vault_tool
