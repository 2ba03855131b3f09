// A reader of compiled HTML Help files (.chm), after the published
// description of the format: the ITSF header, the ITSP directory header and
// its PMGL listing chunks, section 0 (stored) and section 1 (MSCompressed,
// LZX). Enough to list what a help file holds and read any of it back.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::chm {

struct ChmEntry {
    std::string name;  // "/index.html", "::DataSpace/NameList", ...
    std::uint64_t section = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

class ChmArchive {
public:
    static Outcome<ChmArchive> Parse(std::vector<std::uint8_t> bytes);
    static Outcome<ChmArchive> Load(const std::string& path);

    std::uint32_t LanguageId() const { return m_LanguageId; }
    const std::vector<ChmEntry>& Entries() const { return m_Entries; }
    const ChmEntry* Find(std::string_view name) const;

    // The bytes of one entry, from whichever section holds them.
    Outcome<std::vector<std::uint8_t>> Contents(std::string_view name) const;

private:
    ChmArchive() = default;
    std::optional<Failure> ReadHeaders();
    std::optional<Failure> ReadListingChunk(std::span<const std::uint8_t> chunk, std::uint32_t number);
    Outcome<std::vector<std::uint8_t>> StoredContents(const ChmEntry& entry) const;
    std::optional<Failure> DecompressSection() const;

    std::vector<std::uint8_t> m_Bytes;
    std::uint32_t m_LanguageId = 0;
    std::uint64_t m_StoredSectionStart = 0;
    std::vector<ChmEntry> m_Entries;
    // Section 1 is decompressed as a whole, once, on first use.
    mutable std::optional<std::vector<std::uint8_t>> m_Compressed;
};

}  // namespace korvel::chm
