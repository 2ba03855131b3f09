// The registry's ANSI calls: keys that must exist, names without regard to
// case, access checked per handle, keys that refuse writes, value sizes in
// ANSI bytes, and values kept as Windows keeps them.
#include "support/scratch_drive.h"

#include <host/win32_hooks.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kUnwritten = 0xdeadbeef;
const HKEY kUnwrittenKey = reinterpret_cast<HKEY>(ULONG_PTR(0xdeadbeef));

static_assert(KEY_READ == 0x20019 && KEY_WRITE == 0x20006 && KEY_ALL_ACCESS == 0xF003F);
static_assert(KEY_QUERY_VALUE == 1 && KEY_SET_VALUE == 2 && KEY_CREATE_SUB_KEY == 4 && REG_SZ == 1);

// A key handle that closes itself.
class Key {
public:
    Key() = default;
    ~Key() { Close(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    PHKEY Receive()
    {
        Close();
        m_Key = kUnwrittenKey;
        return &m_Key;
    }
    HKEY Get() const { return m_Key; }
    void Close()
    {
        if (m_Key != nullptr && m_Key != kUnwrittenKey) {
            EXPECT_EQ(RegCloseKey(m_Key), ERROR_SUCCESS);
        }
        m_Key = nullptr;
    }

private:
    HKEY m_Key = nullptr;
};

std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

std::vector<BYTE> Utf16Bytes(const std::u16string& text)
{
    std::vector<BYTE> bytes(text.size() * 2);
    std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

struct Query {
    LSTATUS status = 0;
    DWORD type = kUnwritten;
    DWORD size = kUnwritten;
    std::vector<BYTE> data;
};

// Asks for the value with a buffer of `capacity` bytes (none: no buffer).
Query QueryValue(HKEY key, const char* name, std::optional<DWORD> capacity)
{
    Query query;
    std::vector<BYTE> buffer(capacity.value_or(0) + 8, 0xCD);
    query.size = capacity.value_or(kUnwritten);
    query.status = RegQueryValueExA(key, name, nullptr, &query.type, capacity ? buffer.data() : nullptr, &query.size);
    // What lies beyond the buffer is never written.
    for (std::size_t i = capacity.value_or(0); i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], 0xCD) << "byte " << i << " beyond the buffer";
    }
    if (query.status == ERROR_SUCCESS && capacity) {
        query.data.assign(buffer.begin(), buffer.begin() + query.size);
    }
    return query;
}

class RegistryTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        host::ResetRegistry();
        MakeKey(HKEY_LOCAL_MACHINE, "Software\\Korvel\\Vaults");
        MakeKey(HKEY_CURRENT_USER, "Software\\Korvel");
    }
    void TearDown() override
    {
        host::ResetRegistry();
        host::SetAnsiCodePage(CP_UTF8);
        ScratchDriveTest::TearDown();
    }

    static void MakeKey(HKEY root, const char* path)
    {
        Key key;
        ASSERT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr),
                  ERROR_SUCCESS);
    }

    static void SetString(HKEY root, const char* path, const char* name, const std::string& bytes)
    {
        Key key;
        ASSERT_EQ(RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, key.Receive()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                                 DWORD(bytes.size())),
                  ERROR_SUCCESS);
    }
};

TEST_F(RegistryTest, ThePredefinedKeysAreTheSdksSignExtendedValues)
{
    struct Case {
        HKEY key;
        std::uint32_t value;
    };
    const Case cases[] = {
        {HKEY_CLASSES_ROOT, 0x80000000},  {HKEY_CURRENT_USER, 0x80000001},    {HKEY_LOCAL_MACHINE, 0x80000002},
        {HKEY_USERS, 0x80000003},         {HKEY_PERFORMANCE_DATA, 0x80000004}, {HKEY_CURRENT_CONFIG, 0x80000005},
        {HKEY_DYN_DATA, 0x80000006},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(c.key), ULONG_PTR(LONG_PTR(LONG(c.value))));
    }
    if (sizeof(void*) == 8) {
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(HKEY_LOCAL_MACHINE), ULONG_PTR(0xFFFFFFFF80000002ULL));
    }
}

TEST_F(RegistryTest, OnlyExistingKeysOpenWhateverTheirLetterCase)
{
    struct Case {
        const char* what;
        HKEY root;
        const char* subKey;
        LSTATUS status;
    };
    const Case cases[] = {
        {"a key", HKEY_LOCAL_MACHINE, "Software\\Korvel", ERROR_SUCCESS},
        {"another letter case", HKEY_LOCAL_MACHINE, "SOFTWARE\\korvel\\VAULTS", ERROR_SUCCESS},
        {"a trailing separator", HKEY_LOCAL_MACHINE, "Software\\Korvel\\", ERROR_SUCCESS},
        {"no sub-key: the key itself", HKEY_LOCAL_MACHINE, "", ERROR_SUCCESS},
        {"a NULL sub-key: the key itself", HKEY_LOCAL_MACHINE, nullptr, ERROR_SUCCESS},
        {"a missing key", HKEY_LOCAL_MACHINE, "Software\\Missing", ERROR_FILE_NOT_FOUND},
        {"below the deepest key", HKEY_LOCAL_MACHINE, "Software\\Korvel\\Vaults\\Deeper", ERROR_FILE_NOT_FOUND},
        {"another hive", HKEY_USERS, "Software\\Korvel", ERROR_FILE_NOT_FOUND},
        {"a hive of its own", HKEY_CURRENT_USER, "Software\\Korvel", ERROR_SUCCESS},
        {"no hive on Windows NT", HKEY_DYN_DATA, "Software", ERROR_INVALID_HANDLE},
        {"a doubled separator", HKEY_LOCAL_MACHINE, "Software\\\\Korvel", ERROR_BAD_PATHNAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Key key;
        SetLastError(kUnwritten);
        EXPECT_EQ(RegOpenKeyExA(c.root, c.subKey, 0, KEY_READ, key.Receive()), c.status);
        EXPECT_EQ(GetLastError(), kUnwritten) << "registry calls leave the last error alone";
        if (c.status == ERROR_SUCCESS) {
            EXPECT_NE(key.Get(), nullptr);
            EXPECT_NE(key.Get(), c.root) << "a new handle";
        } else {
            EXPECT_EQ(key.Get(), nullptr);
        }
    }
}

TEST_F(RegistryTest, RegOpenKeyWithoutASubKeyHandsBackTheSameHandle)
{
    Key korvel;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvel", 0, KEY_READ, korvel.Receive()), ERROR_SUCCESS);
    for (const char* subKey : {static_cast<const char*>(nullptr), ""}) {
        HKEY same = kUnwrittenKey;
        EXPECT_EQ(RegOpenKeyA(korvel.Get(), subKey, &same), ERROR_SUCCESS);
        EXPECT_EQ(same, korvel.Get());
    }
    // With a sub-key: as much access as the key allows.
    Key vaults;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "software\\korvel\\vaults", vaults.Receive()), ERROR_SUCCESS);
    const char text[] = "x";
    EXPECT_EQ(RegSetValueExA(vaults.Get(), "Last", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Missing", vaults.Receive()), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, CreateKeySaysWhetherItMadeTheKey)
{
    struct Case {
        const char* subKey;
        DWORD disposition;
    };
    const Case cases[] = {
        {"Software\\Tessaly\\Window", REG_CREATED_NEW_KEY},
        {"Software\\Tessaly\\Window", REG_OPENED_EXISTING_KEY},
        {"SOFTWARE\\TESSALY", REG_OPENED_EXISTING_KEY},
        {"", REG_OPENED_EXISTING_KEY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey);
        Key key;
        DWORD disposition = kUnwritten;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, c.subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                                  key.Receive(), &disposition),
                  ERROR_SUCCESS);
        EXPECT_EQ(disposition, c.disposition);
    }
    Key key;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, nullptr, 0, nullptr, 0, KEY_READ, nullptr, key.Receive(), nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, AStringIsKeptInUtf16AndReadInAnsiBytes)
{
    SetString(HKEY_LOCAL_MACHINE, "Software\\Korvel", "Path", std::string("abc", 4));
    const auto stored = host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"software\\korvel", u"PATH");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, DWORD(REG_SZ));
    EXPECT_EQ(stored->data, Utf16Bytes(std::u16string(u"abc", 4)));

    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvel", 0, KEY_READ, key.Receive()), ERROR_SUCCESS);
    struct Case {
        const char* what;
        const char* name;
        std::optional<DWORD> capacity;
        LSTATUS status;
        DWORD size;
        std::vector<BYTE> data;
    };
    const Case cases[] = {
        {"the size alone", "Path", std::nullopt, ERROR_SUCCESS, 4, {}},
        {"the whole value", "Path", 4, ERROR_SUCCESS, 4, Bytes(std::string("abc", 4))},
        {"a larger buffer", "path", 64, ERROR_SUCCESS, 4, Bytes(std::string("abc", 4))},
        {"a buffer too small", "PATH", 3, ERROR_MORE_DATA, 4, {}},
        {"an empty buffer", "Path", 0, ERROR_MORE_DATA, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Query query = QueryValue(key.Get(), c.name, c.capacity);
        EXPECT_EQ(query.status, c.status);
        EXPECT_EQ(query.type, DWORD(REG_SZ));
        EXPECT_EQ(query.size, c.size);
        EXPECT_EQ(query.data, c.data);
    }
}

TEST_F(RegistryTest, ValuesComeBackAsTheyWereStored)
{
    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel", 0, KEY_ALL_ACCESS, key.Receive()), ERROR_SUCCESS);
    const BYTE binary[] = {0x00, 0x80, 0xFF, 0x41};
    const BYTE number[] = {0x78, 0x56, 0x34, 0x12};
    struct Case {
        const char* what;
        const char* name;  // written and read under the same name
        DWORD type;
        std::vector<BYTE> written;
        std::vector<BYTE> stored;
        std::vector<BYTE> read;
    };
    const Case cases[] = {
        {"a string without its terminator", "Bare", REG_SZ, Bytes("abc"), Utf16Bytes(u"abc"), Bytes("abc")},
        {"an empty string", "Empty", REG_SZ, {}, {}, {}},
        {"the default value", nullptr, REG_SZ, Bytes(std::string("d", 2)), Utf16Bytes(std::u16string(u"d", 2)),
         Bytes(std::string("d", 2))},
        {"binary data, never converted", "Binary", REG_BINARY, {binary, binary + 4}, {binary, binary + 4},
         {binary, binary + 4}},
        {"a number", "Number", REG_DWORD, {number, number + 4}, {number, number + 4}, {number, number + 4}},
        {"two strings", "List", REG_MULTI_SZ, Bytes(std::string("a\0b\0\0", 5)),
         Utf16Bytes(std::u16string(u"a\0b\0\0", 5)), Bytes(std::string("a\0b\0\0", 5))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(RegSetValueExA(key.Get(), c.name, 0, c.type, c.written.data(), DWORD(c.written.size())),
                  ERROR_SUCCESS);
        const auto stored = host::ReadStoredRegistryValue(HKEY_CURRENT_USER, u"Software\\Korvel",
                                                          c.name != nullptr ? host::Utf8ToUtf16(c.name) : u"");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, c.type);
        EXPECT_EQ(stored->data, c.stored);
        const Query query = QueryValue(key.Get(), c.name, 64);
        EXPECT_EQ(query.status, ERROR_SUCCESS);
        EXPECT_EQ(query.type, c.type);
        EXPECT_EQ(query.data, c.read);
    }
    // NULL and "" both name the default value.
    EXPECT_EQ(QueryValue(key.Get(), "", 64).data, Bytes(std::string("d", 2)));
}

TEST_F(RegistryTest, MissingValuesAndBadArguments)
{
    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel", 0, KEY_ALL_ACCESS, key.Receive()), ERROR_SUCCESS);
    const Query missing = QueryValue(key.Get(), "Missing", 16);
    EXPECT_EQ(missing.status, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing.type, kUnwritten);
    EXPECT_EQ(missing.size, 16u);

    BYTE buffer[4];
    DWORD type = kUnwritten;
    EXPECT_EQ(RegQueryValueExA(key.Get(), "Missing", nullptr, &type, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key.Get(), "Value", 0, REG_SZ, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegDeleteValueA(key.Get(), "Missing"), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(RegSetValueExA(key.Get(), "Gone", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key.Get(), "GONE"), ERROR_SUCCESS);
    EXPECT_EQ(QueryValue(key.Get(), "Gone", 16).status, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(host::ReadStoredRegistryValue(HKEY_CURRENT_USER, u"Software\\Korvel", u"Gone"));
}

TEST_F(RegistryTest, EachHandleCanDoWhatItWasOpenedFor)
{
    SetString(HKEY_CURRENT_USER, "Software\\Korvel", "Kept", std::string("k", 2));
    struct Case {
        const char* what;
        REGSAM access;
        bool canQuery;
        bool canSet;
    };
    const Case cases[] = {
        {"KEY_READ", KEY_READ, true, false},
        {"KEY_WRITE", KEY_WRITE, false, true},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, true, false},
        {"KEY_SET_VALUE", KEY_SET_VALUE, false, true},
        {"GENERIC_READ", GENERIC_READ, true, false},
        {"GENERIC_WRITE", GENERIC_WRITE, false, true},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, true, true},
        {"MAXIMUM_ALLOWED", MAXIMUM_ALLOWED, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Key key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel", 0, c.access, key.Receive()), ERROR_SUCCESS);
        EXPECT_EQ(QueryValue(key.Get(), "Kept", 16).status, c.canQuery ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
        const LSTATUS expected = c.canSet ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
        EXPECT_EQ(RegSetValueExA(key.Get(), "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("n"), 2), expected);
        EXPECT_EQ(RegDeleteValueA(key.Get(), "New"), c.canSet ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
    }
    // Making a key below needs the right to; opening one through create does not.
    Key reader;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, reader.Receive()), ERROR_SUCCESS);
    Key sub;
    EXPECT_EQ(RegCreateKeyExA(reader.Get(), "New", 0, nullptr, 0, KEY_READ, nullptr, sub.Receive(), nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(reader.Get(), "Korvel", 0, nullptr, 0, KEY_READ, nullptr, sub.Receive(), nullptr),
              ERROR_SUCCESS);
}

TEST_F(RegistryTest, AKeyThatRefusesWritesRefusesThemBelowItToo)
{
    SetString(HKEY_LOCAL_MACHINE, "Software\\Korvel", "Kept", std::string("k", 2));
    Key writerBefore;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvel", 0, KEY_WRITE, writerBefore.Receive()),
              ERROR_SUCCESS);
    // As for a user who is not an administrator.
    ASSERT_TRUE(host::RefuseRegistryWrites(HKEY_LOCAL_MACHINE, u""));
    EXPECT_FALSE(host::RefuseRegistryWrites(HKEY_LOCAL_MACHINE, u"Software\\Missing"));

    struct Case {
        const char* what;
        REGSAM access;
        LSTATUS status;
    };
    const Case cases[] = {
        {"for reading", KEY_READ, ERROR_SUCCESS},
        {"for writing", KEY_WRITE, ERROR_ACCESS_DENIED},
        {"to set values", KEY_SET_VALUE, ERROR_ACCESS_DENIED},
        {"for everything", KEY_ALL_ACCESS, ERROR_ACCESS_DENIED},
        {"for whatever is allowed", MAXIMUM_ALLOWED, ERROR_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Key key;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvel\\Vaults", 0, c.access, key.Receive()),
                  c.status);
        if (c.status == ERROR_SUCCESS) {
            EXPECT_EQ(RegSetValueExA(key.Get(), "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("n"), 2),
                      ERROR_ACCESS_DENIED);
        } else {
            EXPECT_EQ(key.Get(), nullptr);
        }
    }
    Key made;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, nullptr, 0, KEY_READ, nullptr, made.Receive(),
                              nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\New", 0, KEY_READ, made.Receive()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "New", 0, REG_SZ, reinterpret_cast<const BYTE*>("n"), 2),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(QueryValue(HKEY_LOCAL_MACHINE, "Missing", 4).status, ERROR_FILE_NOT_FOUND) << "reading goes on";

    // A handle opened for writing before keeps its access, as on Windows.
    EXPECT_EQ(RegSetValueExA(writerBefore.Get(), "Late", 0, REG_SZ, reinterpret_cast<const BYTE*>("l"), 2),
              ERROR_SUCCESS);
    // Other hives are not touched.
    SetString(HKEY_CURRENT_USER, "Software\\Korvel", "Free", std::string("f", 2));
}

TEST_F(RegistryTest, ARefusingSubKeyLeavesItsParentWritable)
{
    MakeKey(HKEY_CURRENT_USER, "Software\\Korvel\\Locked\\Deeper");
    ASSERT_TRUE(host::RefuseRegistryWrites(HKEY_CURRENT_USER, u"software\\korvel\\locked"));
    Key key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel", 0, KEY_WRITE, key.Receive()), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel\\Locked", 0, KEY_WRITE, key.Receive()),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Korvel\\Locked\\Deeper", 0, KEY_WRITE, key.Receive()),
              ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, TheAnsiCodePageCarriesNamesAndStrings)
{
    const std::string gbkText = "\xB1\xA3\xCF\xD5\xB9\xF1";  // 保险柜
    const std::string gbkName = "\xC3\xFB\xB3\xC6";           // 名称
    const std::string gbkKey = "Software\\\xC8\xED\xBC\xFE";  // 软件
    ASSERT_TRUE(host::SetAnsiCodePage(936));
    MakeKey(HKEY_CURRENT_USER, gbkKey.c_str());
    SetString(HKEY_CURRENT_USER, gbkKey.c_str(), gbkName.c_str(), gbkText + '\0');

    const auto stored = host::ReadStoredRegistryValue(HKEY_CURRENT_USER, u"Software\\软件", u"名称");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data, Utf16Bytes(std::u16string(u"保险柜", 4)));

    struct Case {
        UINT codePage;
        const char* key;
        const char* name;
        std::string read;
    };
    const Case cases[] = {
        {936, gbkKey.c_str(), gbkName.c_str(), gbkText + '\0'},
        {CP_UTF8, "Software\\软件", "名称", std::string("保险柜") + '\0'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        ASSERT_TRUE(host::SetAnsiCodePage(c.codePage));
        Key key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, c.key, 0, KEY_READ, key.Receive()), ERROR_SUCCESS);
        const Query size = QueryValue(key.Get(), c.name, 1);
        EXPECT_EQ(size.status, ERROR_MORE_DATA);
        EXPECT_EQ(size.size, DWORD(c.read.size()));
        EXPECT_EQ(QueryValue(key.Get(), c.name, 64).data, Bytes(c.read));
    }

    // Western Windows has none of these characters: its names cannot reach
    // the key, and the text reads as question marks through a handle opened
    // while the code page could name it.
    ASSERT_TRUE(host::SetAnsiCodePage(936));
    Key key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, gbkKey.c_str(), 0, KEY_ALL_ACCESS, key.Receive()), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(gbkText.c_str()),
                             DWORD(gbkText.size() + 1)),
              ERROR_SUCCESS);
    ASSERT_TRUE(host::SetAnsiCodePage(1252));
    Key western;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\??", 0, KEY_READ, western.Receive()), ERROR_FILE_NOT_FOUND);
    const Query query = QueryValue(key.Get(), nullptr, 64);
    EXPECT_EQ(query.status, ERROR_SUCCESS);
    EXPECT_EQ(query.data, Bytes(std::string("???") + '\0'));
}

TEST_F(RegistryTest, HandlesThatAreNoKeys)
{
    Key closed;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, closed.Receive()), ERROR_SUCCESS);
    const HKEY stale = closed.Get();
    closed.Close();
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    struct Case {
        const char* what;
        HKEY key;
    };
    const Case cases[] = {
        {"a closed key", stale},
        {"no key", nullptr},
        {"a mutex", reinterpret_cast<HKEY>(mutex)},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {"HKEY_DYN_DATA", HKEY_DYN_DATA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(QueryValue(c.key, "Value", 4).status, ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegSetValueExA(c.key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("v"), 2),
                  ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(RegCloseKey(stale), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(mutex)), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(CloseHandle(mutex)) << "the mutex is still open";
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "predefined keys may be closed";
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, closed.Receive()), ERROR_SUCCESS);
}

TEST_F(RegistryTest, AResetLeavesEmptyHivesAndDeletedKeys)
{
    Key before;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Korvel", 0, KEY_ALL_ACCESS, before.Receive()),
              ERROR_SUCCESS);
    host::ResetRegistry();
    EXPECT_EQ(QueryValue(before.Get(), "Value", 4).status, ERROR_KEY_DELETED);
    Key after;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, after.Receive()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, after.Receive()), ERROR_SUCCESS);
}

}  // namespace
