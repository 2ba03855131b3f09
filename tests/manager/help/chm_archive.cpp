#include "chm_archive.h"

#include "lzx_decoder.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <span>

namespace korvel::chm {

namespace {

constexpr std::size_t kItsfVersion2Length = 0x58;
constexpr std::size_t kItsfVersion3Length = 0x60;
constexpr std::size_t kItspLength = 0x54;
constexpr std::size_t kPmglHeaderLength = 0x14;
constexpr std::uint32_t kNoChunk = 0xFFFFFFFF;

constexpr char kNameList[] = "::DataSpace/NameList";
constexpr char kControlData[] = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr char kContent[] = "::DataSpace/Storage/MSCompressed/Content";
constexpr char kResetTable[] =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";

std::uint32_t Dword(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

std::uint64_t Qword(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return Dword(bytes, at) | (static_cast<std::uint64_t>(Dword(bytes, at + 4)) << 32);
}

bool Fits(std::uint64_t offset, std::uint64_t length, std::uint64_t size)
{
    return offset <= size && length <= size - offset;
}

// The directory's variable-length numbers: seven bits a byte, most
// significant first, the top bit set on every byte but the last.
std::optional<std::uint64_t> ReadEncodedInteger(std::span<const std::uint8_t> bytes, std::size_t& at)
{
    std::uint64_t value = 0;
    for (unsigned count = 0; count < 9; ++count) {
        if (at >= bytes.size()) {
            return std::nullopt;
        }
        const std::uint8_t byte = bytes[at++];
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace

Outcome<ChmArchive> ChmArchive::Load(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return Failure{"cannot open " + path};
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return Parse(std::move(bytes));
}

Outcome<ChmArchive> ChmArchive::Parse(std::vector<std::uint8_t> bytes)
{
    ChmArchive archive;
    archive.m_Bytes = std::move(bytes);
    if (auto failure = archive.ReadHeaders()) {
        return *failure;
    }
    return archive;
}

std::optional<Failure> ChmArchive::ReadHeaders()
{
    const std::span<const std::uint8_t> file(m_Bytes);
    if (file.size() < kItsfVersion2Length || std::memcmp(file.data(), "ITSF", 4) != 0) {
        return Failure{"no ITSF header"};
    }
    const std::uint32_t version = Dword(file, 0x04);
    const std::uint32_t headerLength = Dword(file, 0x08);
    const std::size_t expectedLength = version == 3 ? kItsfVersion3Length : kItsfVersion2Length;
    if ((version != 2 && version != 3) || headerLength != expectedLength || file.size() < expectedLength) {
        return Failure{"ITSF version " + std::to_string(version) + " with a header of " +
                       std::to_string(headerLength) + " bytes"};
    }
    m_LanguageId = Dword(file, 0x14);
    const std::uint64_t directoryOffset = Qword(file, 0x48);
    const std::uint64_t directoryLength = Qword(file, 0x50);
    if (!Fits(directoryOffset, directoryLength, file.size()) || directoryLength < kItspLength) {
        return Failure{"the directory lies outside the file"};
    }
    // Version 2 keeps section 0 straight after the directory.
    m_StoredSectionStart = version == 3 ? Qword(file, 0x58) : directoryOffset + directoryLength;
    if (m_StoredSectionStart > file.size()) {
        return Failure{"section 0 starts past the end of the file"};
    }

    const auto directory = file.subspan(directoryOffset, directoryLength);
    if (std::memcmp(directory.data(), "ITSP", 4) != 0 || Dword(directory, 0x08) != kItspLength) {
        return Failure{"no ITSP directory header"};
    }
    const std::uint32_t chunkSize = Dword(directory, 0x10);
    const std::uint32_t firstListing = Dword(directory, 0x20);
    const std::uint32_t chunkCount = Dword(directory, 0x2C);
    if (chunkSize <= kPmglHeaderLength || chunkCount == 0 ||
        !Fits(kItspLength, static_cast<std::uint64_t>(chunkSize) * chunkCount, directory.size())) {
        return Failure{"the directory's " + std::to_string(chunkCount) + " chunks of " + std::to_string(chunkSize) +
                       " bytes do not fit it"};
    }
    // Listing chunks form a chain; following it visits each at most once.
    std::uint32_t chunk = firstListing;
    for (std::uint32_t visited = 0; chunk != kNoChunk; ++visited) {
        if (chunk >= chunkCount || visited == chunkCount) {
            return Failure{"the chain of listing chunks breaks at chunk " + std::to_string(chunk)};
        }
        const auto bytes = directory.subspan(kItspLength + static_cast<std::size_t>(chunk) * chunkSize, chunkSize);
        if (auto failure = ReadListingChunk(bytes, chunk)) {
            return failure;
        }
        chunk = Dword(bytes, 0x10);
    }
    for (const ChmEntry& entry : m_Entries) {
        if (entry.section == 0 && !Fits(m_StoredSectionStart + entry.offset, entry.length, file.size())) {
            return Failure{entry.name + " lies outside the file"};
        }
        if (entry.section > 1) {
            return Failure{entry.name + " is in section " + std::to_string(entry.section) +
                           "; a help file has sections 0 and 1"};
        }
    }
    return std::nullopt;
}

std::optional<Failure> ChmArchive::ReadListingChunk(std::span<const std::uint8_t> chunk, std::uint32_t number)
{
    const std::string where = "listing chunk " + std::to_string(number);
    if (std::memcmp(chunk.data(), "PMGL", 4) != 0) {
        return Failure{where + " is not a PMGL chunk"};
    }
    const std::uint32_t freeSpace = Dword(chunk, 0x04);
    if (freeSpace > chunk.size() - kPmglHeaderLength) {
        return Failure{where + " claims more free space than it has"};
    }
    const auto listing = chunk.first(chunk.size() - freeSpace);
    std::size_t at = kPmglHeaderLength;
    while (at < listing.size()) {
        const auto nameLength = ReadEncodedInteger(listing, at);
        if (!nameLength || *nameLength > listing.size() - at) {
            return Failure{where + " has an entry whose name runs past the chunk"};
        }
        ChmEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(listing.data() + at), *nameLength);
        at += *nameLength;
        const auto section = ReadEncodedInteger(listing, at);
        const auto offset = ReadEncodedInteger(listing, at);
        const auto length = ReadEncodedInteger(listing, at);
        if (!section || !offset || !length) {
            return Failure{where + ": the entry " + entry.name + " is cut short"};
        }
        entry.section = *section;
        entry.offset = *offset;
        entry.length = *length;
        m_Entries.push_back(std::move(entry));
    }
    return std::nullopt;
}

const ChmEntry* ChmArchive::Find(std::string_view name) const
{
    const auto found =
        std::find_if(m_Entries.begin(), m_Entries.end(), [&](const ChmEntry& entry) { return entry.name == name; });
    return found == m_Entries.end() ? nullptr : &*found;
}

Outcome<std::vector<std::uint8_t>> ChmArchive::StoredContents(const ChmEntry& entry) const
{
    const auto begin = m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_StoredSectionStart + entry.offset);
    return std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(entry.length));
}

std::optional<Failure> ChmArchive::DecompressSection() const
{
    if (m_Compressed) {
        return std::nullopt;
    }
    const ChmEntry* nameList = Find(kNameList);
    const ChmEntry* control = Find(kControlData);
    const ChmEntry* content = Find(kContent);
    const ChmEntry* resetTable = Find(kResetTable);
    if (!nameList || !control || !content || !resetTable) {
        return Failure{"section 1 lacks its name list, control data, content or reset table"};
    }
    // The name list must call section 1 "MSCompressed": names are counted
    // UTF-16 strings after two words of header.
    const auto names = StoredContents(*nameList).Value();
    const char16_t expected[] = u"MSCompressed";
    bool named = false;
    if (names.size() >= 4) {
        std::size_t at = 4;
        for (unsigned section = 0; section < 2 && at + 2 <= names.size(); ++section) {
            const std::size_t chars = names[at] | (names[at + 1] << 8);
            at += 2;
            if (at + 2 * chars > names.size()) {
                break;
            }
            std::u16string name;
            for (std::size_t i = 0; i < chars; ++i) {
                name.push_back(static_cast<char16_t>(names[at + 2 * i] | (names[at + 2 * i + 1] << 8)));
            }
            at += 2 * chars + 2;
            named = section == 1 && name == expected;
        }
    }
    if (!named) {
        return Failure{"the name list does not name section 1 MSCompressed"};
    }

    const auto controlData = StoredContents(*control).Value();
    if (controlData.size() < 24 || std::memcmp(controlData.data() + 4, "LZXC", 4) != 0) {
        return Failure{"the control data is not LZXC"};
    }
    const std::uint32_t controlVersion = Dword(controlData, 8);
    // Version 2 counts the reset interval and the window in 32 KiB frames.
    const std::uint64_t unit = controlVersion == 2 ? kLzxFrameBytes : 1;
    const std::uint64_t resetInterval = Dword(controlData, 12) * unit;
    const std::uint64_t windowBytes = Dword(controlData, 16) * unit;
    unsigned windowBits = 0;
    while (windowBits < 32 && (std::uint64_t{1} << windowBits) < windowBytes) {
        ++windowBits;
    }
    if ((std::uint64_t{1} << windowBits) != windowBytes) {
        return Failure{"an LZX window of " + std::to_string(windowBytes) + " bytes"};
    }

    const auto table = StoredContents(*resetTable).Value();
    if (table.size() < 0x28) {
        return Failure{"the reset table is cut short"};
    }
    const std::uint32_t frames = Dword(table, 4);
    const std::uint32_t entrySize = Dword(table, 8);
    const std::uint32_t tableStart = Dword(table, 12);
    if (entrySize != 8 || Qword(table, 0x20) != kLzxFrameBytes ||
        !Fits(tableStart, static_cast<std::uint64_t>(frames) * 8, table.size())) {
        return Failure{"the reset table's entries are not 8-byte offsets of 32 KiB frames"};
    }
    LzxStream stream;
    const auto compressed = StoredContents(*content).Value();
    stream.compressed = compressed;
    stream.windowBits = windowBits;
    stream.resetInterval = resetInterval;
    stream.uncompressedLength = Qword(table, 0x10);
    for (std::uint32_t frame = 0; frame < frames; ++frame) {
        stream.frameOffsets.push_back(Qword(table, tableStart + frame * 8));
    }
    auto section = DecompressLzx(stream);
    if (!section) {
        return Failure{"section 1: " + section.Why()};
    }
    m_Compressed = std::move(section).Value();
    return std::nullopt;
}

Outcome<std::vector<std::uint8_t>> ChmArchive::Contents(std::string_view name) const
{
    const ChmEntry* entry = Find(name);
    if (!entry) {
        return Failure{std::string(name) + " is not in the help file"};
    }
    if (entry->section == 0) {
        return StoredContents(*entry);
    }
    if (auto failure = DecompressSection()) {
        return *failure;
    }
    if (!Fits(entry->offset, entry->length, m_Compressed->size())) {
        return Failure{entry->name + " lies past the end of section 1"};
    }
    const auto begin = m_Compressed->begin() + static_cast<std::ptrdiff_t>(entry->offset);
    return std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(entry->length));
}

}  // namespace korvel::chm
