// The directory reader on small archives built here byte by byte, sound and
// broken in one way each.
#include "chm_archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace korvel::chm {
namespace {

constexpr std::size_t kChunkSize = 0x200;
constexpr std::size_t kDirectoryOffset = 0x78;  // after the ITSF header and header section 0
constexpr std::size_t kItspLength = 0x54;
constexpr std::size_t kChunkStart = kDirectoryOffset + kItspLength;
constexpr std::size_t kStoredStart = kChunkStart + kChunkSize;

void PutDword(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void PutQword(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value)
{
    PutDword(bytes, at, static_cast<std::uint32_t>(value));
    PutDword(bytes, at + 4, static_cast<std::uint32_t>(value >> 32));
}

void AppendEncoded(std::vector<std::uint8_t>& bytes, std::uint64_t value)
{
    std::vector<std::uint8_t> groups;
    do {
        groups.insert(groups.begin(), static_cast<std::uint8_t>(value & 0x7F));
        value >>= 7;
    } while (value != 0);
    for (std::size_t i = 0; i + 1 < groups.size(); ++i) {
        groups[i] |= 0x80;
    }
    bytes.insert(bytes.end(), groups.begin(), groups.end());
}

struct StoredFile {
    std::string name;
    std::string contents;
};

// A version 3 archive with one listing chunk and everything stored in
// section 0: the smallest file the reader must accept.
std::vector<std::uint8_t> BuildArchive(const std::vector<StoredFile>& files)
{
    std::vector<std::uint8_t> listing;
    std::string stored;
    for (const StoredFile& file : files) {
        AppendEncoded(listing, file.name.size());
        listing.insert(listing.end(), file.name.begin(), file.name.end());
        AppendEncoded(listing, 0);
        AppendEncoded(listing, stored.size());
        AppendEncoded(listing, file.contents.size());
        stored += file.contents;
    }
    std::vector<std::uint8_t> bytes(kStoredStart + stored.size());
    std::memcpy(bytes.data(), "ITSF", 4);
    PutDword(bytes, 0x04, 3);
    PutDword(bytes, 0x08, 0x60);
    PutDword(bytes, 0x0C, 1);
    PutDword(bytes, 0x14, 0x804);
    PutQword(bytes, 0x38, 0x60);
    PutQword(bytes, 0x40, 0x18);
    PutQword(bytes, 0x48, kDirectoryOffset);
    PutQword(bytes, 0x50, kItspLength + kChunkSize);
    PutQword(bytes, 0x58, kStoredStart);

    std::memcpy(bytes.data() + kDirectoryOffset, "ITSP", 4);
    PutDword(bytes, kDirectoryOffset + 0x04, 1);
    PutDword(bytes, kDirectoryOffset + 0x08, kItspLength);
    PutDword(bytes, kDirectoryOffset + 0x10, kChunkSize);
    PutDword(bytes, kDirectoryOffset + 0x18, 1);
    PutDword(bytes, kDirectoryOffset + 0x1C, 0xFFFFFFFF);
    PutDword(bytes, kDirectoryOffset + 0x20, 0);
    PutDword(bytes, kDirectoryOffset + 0x24, 0);
    PutDword(bytes, kDirectoryOffset + 0x2C, 1);

    std::memcpy(bytes.data() + kChunkStart, "PMGL", 4);
    PutDword(bytes, kChunkStart + 0x04, static_cast<std::uint32_t>(kChunkSize - 0x14 - listing.size()));
    PutDword(bytes, kChunkStart + 0x0C, 0xFFFFFFFF);
    PutDword(bytes, kChunkStart + 0x10, 0xFFFFFFFF);
    std::memcpy(bytes.data() + kChunkStart + 0x14, listing.data(), listing.size());
    std::memcpy(bytes.data() + kStoredStart, stored.data(), stored.size());
    return bytes;
}

std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(ChmArchive, ListsEveryEntryAndReadsStoredOnes)
{
    // Past 127 bytes an offset takes two bytes of the directory's numbers.
    const std::vector<StoredFile> files = {
        {"/", ""},
        {"/a.html", std::string(200, 'a')},
        {"/images/b.png", "\x89PNG"},
        {"/c.html", "<p>c</p>"},
    };
    auto archive = ChmArchive::Parse(BuildArchive(files));
    ASSERT_TRUE(archive) << archive.Why();
    EXPECT_EQ(archive.Value().LanguageId(), 0x804u);
    ASSERT_EQ(archive.Value().Entries().size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].name);
        EXPECT_EQ(archive.Value().Entries()[i].name, files[i].name);
        auto contents = archive.Value().Contents(files[i].name);
        ASSERT_TRUE(contents) << contents.Why();
        EXPECT_EQ(AsText(contents.Value()), files[i].contents);
    }
    EXPECT_EQ(archive.Value().Find("/c.html")->offset, 204u);
}

TEST(ChmArchive, SaysWhenAnEntryIsNotThere)
{
    auto archive = ChmArchive::Parse(BuildArchive({{"/a.html", "a"}}));
    ASSERT_TRUE(archive) << archive.Why();
    EXPECT_EQ(archive.Value().Find("/b.html"), nullptr);
    auto contents = archive.Value().Contents("/b.html");
    EXPECT_FALSE(contents);
    EXPECT_EQ(contents.Why(), "/b.html is not in the help file");
}

TEST(ChmArchive, NeedsTheCompressedSectionsFilesToReadSectionOne)
{
    // An entry in section 1 of an archive that has no compressed section.
    std::vector<std::uint8_t> bytes = BuildArchive({{"/a.html", "a"}});
    const std::size_t sectionByte = kChunkStart + 0x14 + 1 + 7;
    ASSERT_EQ(bytes[sectionByte], 0);
    bytes[sectionByte] = 1;
    auto archive = ChmArchive::Parse(std::move(bytes));
    ASSERT_TRUE(archive) << archive.Why();
    auto contents = archive.Value().Contents("/a.html");
    EXPECT_FALSE(contents);
    EXPECT_NE(contents.Why().find("section 1 lacks"), std::string::npos) << contents.Why();
}

struct Corruption {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> spoil;
    const char* complaint;
};

class ChmArchiveRefuses : public testing::TestWithParam<Corruption> {};

TEST_P(ChmArchiveRefuses, ABrokenFile)
{
    std::vector<std::uint8_t> bytes = BuildArchive({{"/a.html", "aaaa"}, {"/b.html", "bb"}});
    GetParam().spoil(bytes);
    auto archive = ChmArchive::Parse(std::move(bytes));
    ASSERT_FALSE(archive);
    EXPECT_NE(archive.Why().find(GetParam().complaint), std::string::npos) << archive.Why();
}

const std::size_t kFirstEntry = kChunkStart + 0x14;

INSTANTIATE_TEST_SUITE_P(
    Corruptions, ChmArchiveRefuses,
    testing::Values(
        Corruption{"NoSignature", [](auto& b) { b[0] = 'X'; }, "no ITSF header"},
        Corruption{"TooShort", [](auto& b) { b.resize(0x40); }, "no ITSF header"},
        Corruption{"UnknownVersion", [](auto& b) { PutDword(b, 0x04, 4); }, "ITSF version 4"},
        Corruption{"DirectoryPastTheEnd", [](auto& b) { PutQword(b, 0x48, b.size()); }, "directory lies outside"},
        Corruption{"SectionZeroPastTheEnd", [](auto& b) { PutQword(b, 0x58, b.size() + 1); },
                   "section 0 starts past"},
        Corruption{"NoItsp", [](auto& b) { b[kDirectoryOffset] = 'X'; }, "no ITSP"},
        Corruption{"ChunksLargerThanTheDirectory", [](auto& b) { PutDword(b, kDirectoryOffset + 0x2C, 2); },
                   "do not fit"},
        Corruption{"NoPmgl", [](auto& b) { b[kChunkStart] = 'X'; }, "is not a PMGL chunk"},
        Corruption{"ChainLoopsBack", [](auto& b) { PutDword(b, kChunkStart + 0x10, 0); }, "chain of listing chunks"},
        Corruption{"ChainLeavesTheDirectory", [](auto& b) { PutDword(b, kChunkStart + 0x10, 7); },
                   "chain of listing chunks"},
        Corruption{"TooMuchFreeSpace", [](auto& b) { PutDword(b, kChunkStart + 0x04, kChunkSize); },
                   "more free space"},
        Corruption{"NameRunsPastTheChunk", [](auto& b) { b[kFirstEntry] = 0x7F; }, "runs past the chunk"},
        Corruption{"NumberNeverEnds",
                   [](auto& b) {
                       // The last entry's length keeps its top bit up to the end of the listing.
                       const std::size_t freeSpace = b[kChunkStart + 4] | (b[kChunkStart + 5] << 8);
                       b[kChunkStart + kChunkSize - freeSpace - 1] |= 0x80;
                   },
                   "is cut short"},
        Corruption{"EntryPastTheEnd", [](auto& b) { b.resize(b.size() - 1); }, "/b.html lies outside the file"},
        Corruption{"UnknownSection", [](auto& b) { b[kFirstEntry + 1 + 7] = 2; }, "is in section 2"}),
    [](const testing::TestParamInfo<Corruption>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvel::chm
