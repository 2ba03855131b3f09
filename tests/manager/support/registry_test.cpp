// The registry module: key paths, the hive table, reading with its quirks,
// writing REG_SZ in the ANSI code page, deleting, and never creating keys.
#include "support/registry.h"
#include "scripted_ui.h"

#include <host/win32_hooks.h>

#include <gtest/gtest.h>

namespace korvel::test {
namespace {

using tessaly::Registry;
using tessaly::Text;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::ResetRegistry();
        host::SetAnsiCodePage(936);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvel\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        host::ResetRegistry();
        host::SetAnsiCodePage(65001);
    }

    // Stores raw bytes as a REG_SZ value, as another program might.
    static void StoreRaw(const char* name, const std::string& bytes)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvel\\Test", 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
    }

    ScriptedUi m_Ui;
    Registry m_Registry{m_Ui};
};

TEST(HiveFromName, TheSevenHivesWrittenExactly)
{
    struct Case {
        const char16_t* name;
        HKEY hive;
    };
    const Case cases[] = {
        {u"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {u"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {u"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {u"HKEY_USERS", HKEY_USERS},
        {u"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {u"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {u"HKEY_DYN_DATA", HKEY_DYN_DATA},
        {u"HKEY_Local_Machine", nullptr},
        {u"hkey_local_machine", nullptr},
        {u"HKLM", nullptr},
        {u"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.name));
        EXPECT_EQ(tessaly::HiveFromName(c.name), c.hive);
    }
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE) & 0xFFFFFFFF, 0x80000002u);
}

TEST_F(RegistryTest, KeyPathsSplitIntoTheHiveAndTheSubKey)
{
    struct Case {
        const char16_t* path;
        bool accepted;
        HKEY hive;
        const char* subKey;
    };
    const Case cases[] = {
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", true, HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft"},
        {u"HKEY_LOCAL_MACHINE", true, HKEY_LOCAL_MACHINE, ""},
        {u"HKEY_CURRENT_USER\\A", true, HKEY_CURRENT_USER, "A"},
        {u"HKEY_Local_Machine\\SOFTWARE", true, nullptr, "SOFTWARE"},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\", false, nullptr, ""},
        {u"hkey_local_machine\\SOFTWARE", false, nullptr, ""},
        {u"SOFTWARE\\Microsoft", false, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.path));
        m_Ui.messages.clear();
        Text path = c.path;
        HKEY hive = reinterpret_cast<HKEY>(0xDEAD);
        EXPECT_EQ(m_Registry.SplitKeyPath(path, hive), c.accepted);
        if (c.accepted) {
            EXPECT_EQ(hive, c.hive);
            EXPECT_EQ(U8(path), c.subKey);
            EXPECT_TRUE(m_Ui.messages.empty());
        } else {
            ASSERT_EQ(m_Ui.messages.size(), 1u);
            EXPECT_EQ(U8(m_Ui.messages[0].text), "Incorrect Format:\n\n" + U8(c.path));
            EXPECT_EQ(U8(m_Ui.messages[0].caption), "Korvel多功能保险柜");
            EXPECT_EQ(m_Ui.messages[0].buttons, tessaly::MessageButtons::Ok);
        }
    }
}

TEST_F(RegistryTest, ReadingGivesTheTextOrErrorOrNothing)
{
    StoreRaw("plain", std::string("abc", 4));
    StoreRaw("blanks", std::string("  abc", 6));
    StoreRaw("trailing", std::string("abc  ", 6));
    StoreRaw("empty", std::string("", 1));
    StoreRaw("unterminated", std::string("abcd", 4));
    StoreRaw("chinese", std::string("\xB1\xA3\xCF\xD5\xB9\xF1", 7));  // 保险柜 in GBK, with its NUL
    struct Case {
        const char16_t* path;
        const char16_t* name;
        const char* text;
        std::size_t messages;
    };
    const Case cases[] = {
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"plain", "abc", 0},
        {u"HKEY_LOCAL_MACHINE\\software\\korvel\\test", u"PLAIN", "abc", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"blanks", "abc", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"trailing", "abc  ", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"empty", "", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"unterminated", "abc", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"chinese", "保险柜", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"missing", "Error", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Missing", u"plain", "Error", 0},
        {u"HKEY_Local_Machine\\SOFTWARE\\Korvel\\Test", u"plain", "", 0},
        {u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test\\", u"plain", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.path) + " " + U8(c.name));
        m_Ui.messages.clear();
        EXPECT_EQ(U8(m_Registry.ReadRegString(c.path, c.name)), c.text);
        EXPECT_EQ(m_Ui.messages.size(), c.messages);
    }
}

TEST_F(RegistryTest, WritingStoresTheTextAndItsZeroInTheAnsiCodePage)
{
    const Text path = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test";
    m_Registry.WriteRegString(path, u"abc", u"abc");
    auto stored = host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\Test", u"abc");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->data.size(), 8u) << "three bytes and the zero were stored, which Windows keeps as four UTF-16 units";
    EXPECT_EQ(U8(m_Registry.ReadRegString(path, u"abc")), "abc");

    m_Registry.WriteRegString(path, u"folder", u"C:\\保险柜\\tessaly.exe /h");
    EXPECT_EQ(U8(m_Registry.ReadRegString(path, u"folder")), "C:\\保险柜\\tessaly.exe /h");

    // On a Western system the Chinese characters do not survive the ANSI
    // code page; the A functions make them "?".
    host::SetAnsiCodePage(1252);
    m_Registry.WriteRegString(path, u"western", u"C:\\保险柜");
    EXPECT_EQ(U8(m_Registry.ReadRegString(path, u"western")), "C:\\???");
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(RegistryTest, WritingAndDeletingNeverCreateKeysAndFailSilently)
{
    m_Registry.WriteRegString(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\New", u"v", u"x");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvel\\New", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(host::RefuseRegistryWrites(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\Test"));
    m_Registry.WriteRegString(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"v", u"x");
    EXPECT_FALSE(host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\Test", u"v"));

    m_Registry.DeleteRegValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Missing", u"v");
    m_Registry.DeleteRegValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"missing");
    m_Registry.WriteRegString(u"HKEY_NOWHERE\\X", u"v", u"x");
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(RegistryTest, DeletingRemovesTheValueThroughAnyLetterCaseOfTheKey)
{
    m_Registry.WriteRegString(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"tessaly", u"x");
    ASSERT_TRUE(host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\Test", u"tessaly"));
    m_Registry.DeleteRegValue(u"HKEY_LOCAL_MACHINE\\Software\\korvel\\TEST", u"tessaly");
    EXPECT_FALSE(host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Korvel\\Test", u"tessaly"));
    EXPECT_EQ(U8(m_Registry.ReadRegString(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel\\Test", u"tessaly")), "Error");
}

}  // namespace
}  // namespace korvel::test
