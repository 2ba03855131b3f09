// Test support: a scratch folder on a real disk, mapped as a Windows drive.
#pragma once

#include "support/scratch_place.h"

#include <host/drive_table.h>
#include <host/test_hooks.h>
#include <host/utf16.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

// A fresh folder in the chosen scratch place (see scratch_place.h), removed
// with everything in it. Only its owner may enter it at first.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
};

// UTF-16 text for Windows APIs from UTF-8 source text.
class Wide {
public:
    explicit Wide(std::string_view utf8) : m_Text(host::Utf8ToUtf16(utf8)) {}
    const wchar_t* c_str() const { return reinterpret_cast<const wchar_t*>(m_Text.c_str()); }
    operator const wchar_t*() const { return c_str(); }

private:
    std::u16string m_Text;
};

std::string Narrow(const wchar_t* text);

std::vector<std::uint8_t> ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool HostFileExists(const std::string& path);

// Maps drive C: to a scratch folder for the length of a test, and leaves no
// injected fault or drive mapping behind.
class ScratchDriveTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "C:\<relative>" as the kernel names it: "\??\C:\<relative>".
    static Wide NtPath(const std::string& relative) { return Wide("\\??\\C:\\" + relative); }
    // The host path of "C:\<relative>", with "\" as "/".
    std::string HostPath(const std::string& relative) const;

    ScratchFolder m_Folder;
};

}  // namespace korvel::test
