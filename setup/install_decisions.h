// What the installer decides from what it finds on disk: plain functions, so
// that every rule can be checked on its own.
#pragma once

#include "support/text.h"

#include <cstdint>

namespace setup {

using tessaly::Text;

// What one query of a path tells: whether it exists, its size and its
// last-modification time in whole seconds.
struct FileStatus {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

// The program folder: the system drive ("C:", the first two characters of
// the system directory) followed by "\Software".
Text ProgramFolderFrom(const Text& systemDirectory);

// An own file (manager, help file, control library) is written when it is
// missing or its size differs from the carried copy's; an existing file of
// the same size stays, whatever its content or date.
bool OwnFileNeedsWriting(const FileStatus& onDisk, std::uint64_t carriedSize);

enum class DriverAction {
    Write,    // missing: written, no restart needed
    Keep,     // the carried build's size and not older than the installer
    Replace,  // any other size, or older than the installer
};
DriverAction DecideDriver(const FileStatus& onDisk, std::uint64_t carriedSize, std::int64_t installerTime);

// Whether version `written` ("1.0.0.10") is newer than `before`, comparing
// the four numbers in turn. A file without a version ("") is older than any
// that has one; a text that is not four numbers compares as far as its
// numbers go.
bool VersionIsNewer(const Text& written, const Text& before);

// "major.minor.build.revision" from a fixed file version's two double words.
Text VersionText(std::uint32_t mostSignificant, std::uint32_t leastSignificant);

}  // namespace setup
