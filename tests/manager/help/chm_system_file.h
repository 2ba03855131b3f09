// The #SYSTEM file of a compiled help file: the compiler's record of the
// project's options (title, default topic, contents and index files,
// language), as a version number and then code, length, data records.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvel::chm {

enum class SystemCode : std::uint16_t {
    ContentsFile = 0,
    IndexFile = 1,
    DefaultTopic = 2,
    Title = 3,
    Language = 4,
};

struct SystemRecord {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> data;
};

Outcome<std::vector<SystemRecord>> ParseSystemFile(std::span<const std::uint8_t> bytes);

// The record's text up to its terminating zero, in the help's code page.
std::optional<std::string> SystemText(const std::vector<SystemRecord>& records, SystemCode code);
// The language (LCID) that the language record starts with.
std::optional<std::uint32_t> SystemLanguage(const std::vector<SystemRecord>& records);

}  // namespace korvel::chm
