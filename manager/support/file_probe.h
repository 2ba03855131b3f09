// Folder listings with an attribute mask, in the way the manager looks for
// vault files and folders: normal and read-only entries always match;
// hidden, system and folder entries only when the mask names them.
#pragma once

#include "support/text.h"

#include <cstdint>
#include <vector>

namespace tessaly {

// Mask bits, as file attributes number them.
inline constexpr DWORD kMatchReadOnly = 1;
inline constexpr DWORD kMatchHidden = 2;
inline constexpr DWORD kMatchSystem = 4;
inline constexpr DWORD kMatchFolders = 16;

struct FoundEntry {
    Text name;
    DWORD attributes = 0;
};

// Whether an entry with `attributes` matches `mask`.
bool MatchesAttributeMask(DWORD attributes, DWORD mask);

// The entries that `pattern` (a path whose last part may hold * and ?)
// names and that match `mask`, in the order Windows lists them, without
// "." and "..".
std::vector<FoundEntry> FindEntries(const Text& pattern, DWORD mask);

// Whether anything matching `mask` answers to `pattern`.
bool AnyEntry(const Text& pattern, DWORD mask);

}  // namespace tessaly
