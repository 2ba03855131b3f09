// Both built installers carry the deliverables they should: resources of
// type "SimType" in Chinese (PRC), byte for byte the files in dist/. The
// resources are read from the PE files as Windows' resource loader finds
// them: through the resource directory of the image.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class T>
T At(const Bytes& image, std::size_t offset)
{
    T value{};
    if (offset + sizeof(T) <= image.size()) {
        std::memcpy(&value, image.data() + offset, sizeof(T));
    }
    return value;
}

// The resources of a PE image: type (a name or an id) / id / language.
class PeResources {
public:
    explicit PeResources(Bytes image) : m_Image(std::move(image)) { Locate(); }

    bool Valid() const { return m_DirectoryOffset != 0; }
    std::uint16_t Machine() const { return m_Machine; }

    // The data of a resource whose type has this name, or nothing.
    std::optional<Bytes> Find(const std::u16string& typeName, std::uint32_t id, std::uint16_t language) const
    {
        const std::optional<std::uint32_t> types = Entry(0, [&](std::uint32_t nameField) {
            return (nameField & 0x80000000u) != 0 && NameAt(nameField & 0x7FFFFFFFu) == typeName;
        });
        if (!types) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> ids =
            Entry(*types & 0x7FFFFFFFu, [&](std::uint32_t nameField) { return nameField == id; });
        if (!ids) {
            return std::nullopt;
        }
        const std::optional<std::uint32_t> data =
            Entry(*ids & 0x7FFFFFFFu, [&](std::uint32_t nameField) { return nameField == language; });
        if (!data || (*data & 0x80000000u) != 0) {
            return std::nullopt;
        }
        const std::size_t entry = m_DirectoryOffset + *data;
        const std::optional<std::size_t> offset = FileOffset(At<std::uint32_t>(m_Image, entry));
        const std::uint32_t size = At<std::uint32_t>(m_Image, entry + 4);
        if (!offset || *offset + size > m_Image.size()) {
            return std::nullopt;
        }
        return Bytes(m_Image.begin() + static_cast<std::ptrdiff_t>(*offset),
                     m_Image.begin() + static_cast<std::ptrdiff_t>(*offset + size));
    }

private:
    void Locate()
    {
        if (At<std::uint16_t>(m_Image, 0) != 0x5A4D) {  // "MZ"
            return;
        }
        const std::uint32_t pe = At<std::uint32_t>(m_Image, 0x3C);
        if (At<std::uint32_t>(m_Image, pe) != 0x00004550) {  // "PE\0\0"
            return;
        }
        m_Machine = At<std::uint16_t>(m_Image, pe + 4);
        const std::uint16_t sections = At<std::uint16_t>(m_Image, pe + 6);
        const std::uint16_t optionalSize = At<std::uint16_t>(m_Image, pe + 20);
        const std::size_t optional = pe + 24;
        const bool plus = At<std::uint16_t>(m_Image, optional) == 0x20B;
        const std::size_t directories = optional + (plus ? 112 : 96);
        const std::uint32_t resourceRva = At<std::uint32_t>(m_Image, directories + 2 * 8);
        for (std::uint16_t i = 0; i < sections; ++i) {
            const std::size_t header = optional + optionalSize + i * 40u;
            m_Sections.push_back({At<std::uint32_t>(m_Image, header + 12), At<std::uint32_t>(m_Image, header + 8),
                                  At<std::uint32_t>(m_Image, header + 20)});
        }
        if (const std::optional<std::size_t> offset = FileOffset(resourceRva); offset && resourceRva != 0) {
            m_DirectoryOffset = *offset;
        }
    }

    std::optional<std::size_t> FileOffset(std::uint32_t rva) const
    {
        for (const Section& section : m_Sections) {
            if (rva >= section.rva && rva < section.rva + section.size) {
                return section.rawOffset + (rva - section.rva);
            }
        }
        return std::nullopt;
    }

    std::u16string NameAt(std::uint32_t offset) const
    {
        const std::size_t at = m_DirectoryOffset + offset;
        const std::uint16_t length = At<std::uint16_t>(m_Image, at);
        std::u16string name;
        for (std::uint16_t i = 0; i < length; ++i) {
            name.push_back(At<char16_t>(m_Image, at + 2 + 2 * i));
        }
        return name;
    }

    // The offset field of the first entry of a directory that matches.
    template <class Match>
    std::optional<std::uint32_t> Entry(std::uint32_t directory, Match match) const
    {
        const std::size_t at = m_DirectoryOffset + directory;
        const unsigned entries = At<std::uint16_t>(m_Image, at + 12) + At<std::uint16_t>(m_Image, at + 14);
        for (unsigned i = 0; i < entries; ++i) {
            const std::size_t entry = at + 16 + 8 * i;
            if (match(At<std::uint32_t>(m_Image, entry))) {
                return At<std::uint32_t>(m_Image, entry + 4);
            }
        }
        return std::nullopt;
    }

    struct Section {
        std::uint32_t rva;
        std::uint32_t size;
        std::uint32_t rawOffset;
    };
    Bytes m_Image;
    std::vector<Section> m_Sections;
    std::size_t m_DirectoryOffset = 0;
    std::uint16_t m_Machine = 0;
};

constexpr std::uint16_t kChinesePrc = 0x0804;

TEST(CarriedFiles, EachInstallerCarriesItsBuildsFilesAndBothDrivers)
{
    const std::filesystem::path dist = KORVEL_DIST_ROOT;
    struct Build {
        const char* arch;
        std::uint16_t machine;
    };
    for (const Build& build : {Build{"x86", 0x014C}, Build{"x64", 0x8664}}) {
        SCOPED_TRACE(build.arch);
        const std::filesystem::path installer = dist / build.arch / "setup.exe";
        if (!std::filesystem::exists(installer) || !std::filesystem::exists(dist / "x86" / "Vantor.dll") ||
            !std::filesystem::exists(dist / "x64" / "Vantor.dll")) {
            GTEST_SKIP() << installer << " is not built: the installers are built after both Windows presets "
                         << "(bash tools/test-all.sh builds them)";
        }
        const PeResources resources(ReadFile(installer));
        ASSERT_TRUE(resources.Valid());
        EXPECT_EQ(resources.Machine(), build.machine);
        struct Carried {
            std::uint32_t id;
            std::filesystem::path file;
        };
        const Carried carried[] = {
            {147, dist / build.arch / "tessaly.exe"}, {148, dist / build.arch / "tessaly.chm"},
            {284, dist / build.arch / "Pellix.dll"},  {311, dist / "x64" / "Vantor.dll"},
            {464, dist / "x86" / "Vantor.dll"},
        };
        for (const Carried& c : carried) {
            SCOPED_TRACE(c.id);
            const std::optional<Bytes> data = resources.Find(u"SIMTYPE", c.id, kChinesePrc);
            ASSERT_TRUE(data) << "no SimType resource " << c.id << " in Chinese (PRC)";
            EXPECT_TRUE(*data == ReadFile(c.file)) << "resource " << c.id << " is not " << c.file;
        }
        EXPECT_FALSE(resources.Find(u"SIMTYPE", 129, kChinesePrc)) << "no runtime file is carried";
        EXPECT_FALSE(resources.Find(u"SIMTYPE", 147, 0x0409)) << "only in Chinese (PRC)";
    }
}

}  // namespace
