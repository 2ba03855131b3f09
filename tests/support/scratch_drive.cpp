#include "support/scratch_drive.h"

#include "support/scratch_place.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace korvel::test {

ScratchFolder::ScratchFolder()
{
    const std::string& root = ChosenScratchPlace().root;
    std::string pattern = root + "/korvel-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot make a scratch folder under " << root;
    }
    m_Path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    // Folders made read-only by a test must become writable to be removed.
    for (auto& entry : std::filesystem::recursive_directory_iterator(m_Path, ignored)) {
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    }
    std::filesystem::remove_all(m_Path, ignored);
}

std::string Narrow(const wchar_t* text)
{
    return host::Utf16ToUtf8(host::AsUtf16(text)).value_or("<invalid UTF-16>");
}

std::vector<std::uint8_t> ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteHostFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool HostFileExists(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

void ScratchDriveTest::SetUp()
{
    host::ResetFaults();
    host::ClearDebugOutput();
    host::MapDrive('C', host::Drive{m_Folder.Path(), host::DriveType::Fixed, std::nullopt});
}

void ScratchDriveTest::TearDown()
{
    host::UnmapAllDrives();
    host::ResetFaults();
}

std::string ScratchDriveTest::HostPath(const std::string& relative) const
{
    std::string path = m_Folder.Path() + "/" + relative;
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    return path;
}

}  // namespace korvel::test
