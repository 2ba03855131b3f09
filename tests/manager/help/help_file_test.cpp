// The help file the build compiled (tessaly.chm), read back through our own
// reader: it is a sound compiled help file in Simplified Chinese, holds
// every page, picture, the contents and the index, and says what the
// manager says, word for word.
#include "chm_archive.h"
#include "chm_system_file.h"
#include "help_file_check.h"
#include "help_text.h"

#include "shell/texts.h"
#include "vault_ops/texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace korvel::chm {
namespace {

namespace texts = tessaly::texts;

const HelpFileLayout kLayout = {
    "/tessaly.hhc",
    "/tessaly.hhk",
    {"/index.html", "/vault.html", "/create.html", "/open-close.html", "/password.html", "/tray.html",
     "/backup.html", "/uninstall.html", "/trouble.html", "/security.html"},
    {"/help.css", "/images/main-window.png", "/images/pop-up-menu.png", "/images/create-dialog.png",
     "/images/open-dialog.png", "/images/change-password-dialog.png", "/images/read-me-dialog.png"},
};

std::string Utf8(const char16_t* text)
{
    return Utf16ToUtf8(text);
}

class HelpFile : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        auto archive = ChmArchive::Load(KORVEL_HELP_FILE);
        s_LoadProblem = archive.Why();
        if (archive) {
            s_Archive = new ChmArchive(std::move(archive).Value());
        }
    }
    static void TearDownTestSuite()
    {
        delete s_Archive;
        s_Archive = nullptr;
    }
    void SetUp() override { ASSERT_NE(s_Archive, nullptr) << KORVEL_HELP_FILE << ": " << s_LoadProblem; }

    const ChmArchive& Archive() const { return *s_Archive; }

    // A page (or the contents or index) as UTF-8 text.
    std::string Text(const std::string& name) const
    {
        auto bytes = Archive().Contents(name);
        EXPECT_TRUE(bytes) << bytes.Why();
        if (!bytes) {
            return {};
        }
        auto text = Gb2312ToUtf8(bytes.Value());
        EXPECT_TRUE(text) << name << ": " << text.Why();
        return text ? text.Value() : std::string();
    }

private:
    static ChmArchive* s_Archive;
    static std::string s_LoadProblem;
};

ChmArchive* HelpFile::s_Archive = nullptr;
std::string HelpFile::s_LoadProblem;

std::vector<std::uint8_t> ReadStagedFile(const std::string& name)
{
    std::ifstream file(std::string(KORVEL_HELP_STAGE) + name, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

TEST_F(HelpFile, IsACompiledHelpFileInSimplifiedChinese)
{
    EXPECT_EQ(Archive().LanguageId(), 0x804u);
    auto system = Archive().Contents("/#SYSTEM");
    ASSERT_TRUE(system) << system.Why();
    auto records = ParseSystemFile(system.Value());
    ASSERT_TRUE(records) << records.Why();
    EXPECT_EQ(SystemLanguage(records.Value()), 0x804u);
    // The title bar of the viewer shows this, in the code page of 0x804.
    EXPECT_EQ(SystemText(records.Value(), SystemCode::Title), Utf8ToGb2312(Utf8(texts::kAppTitle) + " 帮助"));
    EXPECT_EQ(SystemText(records.Value(), SystemCode::DefaultTopic), "index.html");
    EXPECT_EQ(SystemText(records.Value(), SystemCode::ContentsFile), "tessaly.hhc");
    EXPECT_EQ(SystemText(records.Value(), SystemCode::IndexFile), "tessaly.hhk");
}

TEST_F(HelpFile, HoldsEveryPagePictureTheContentsAndTheIndex)
{
    std::vector<std::string> expected = kLayout.pages;
    expected.insert(expected.end(), kLayout.otherFiles.begin(), kLayout.otherFiles.end());
    expected.push_back(kLayout.contentsFile);
    expected.push_back(kLayout.indexFile);
    for (const std::string& name : expected) {
        SCOPED_TRACE(name);
        const ChmEntry* entry = Archive().Find(name);
        ASSERT_NE(entry, nullptr);
        EXPECT_GT(entry->length, 0u);
    }
}

TEST_F(HelpFile, HoldsExactlyTheStagedSourcesAndNothingElse)
{
    // What the compiler was given: the sources, converted to GB2312.
    std::set<std::string> expected(kLayout.pages.begin(), kLayout.pages.end());
    expected.insert(kLayout.otherFiles.begin(), kLayout.otherFiles.end());
    expected.insert({kLayout.contentsFile, kLayout.indexFile});
    std::set<std::string> found;
    for (const ChmEntry& entry : Archive().Entries()) {
        // Skipped: folders, and the compiler's own files (#SYSTEM, $OBJINST,
        // its signature _#_README_#_).
        const std::string& name = entry.name;
        if (name[0] != '/' || name.back() == '/' || name.starts_with("/#") || name.starts_with("/$") ||
            name.starts_with("/_#_")) {
            continue;
        }
        found.insert(name);
    }
    EXPECT_EQ(found, expected);
    for (const std::string& name : expected) {
        SCOPED_TRACE(name);
        auto bytes = Archive().Contents(name);
        ASSERT_TRUE(bytes) << bytes.Why();
        const auto staged = ReadStagedFile(name);
        ASSERT_FALSE(staged.empty());
        EXPECT_TRUE(bytes.Value() == staged) << "the compiled " << name << " differs from the staged one";
    }
}

TEST_F(HelpFile, HasNoMissingPageOrBrokenLink)
{
    const auto problems = HelpFileProblems(Archive(), kLayout);
    for (const std::string& problem : problems) {
        ADD_FAILURE() << problem;
    }
}

TEST_F(HelpFile, ContentsListThePagesInReadingOrder)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Korvel多功能保险柜 帮助", "index.html"},
        {"什么是保险柜", "vault.html"},
        {"新建保险柜", "create.html"},
        {"打开和关闭保险柜", "open-close.html"},
        {"密码与修改密码", "password.html"},
        {"托盘图标、快捷键和菜单", "tray.html"},
        {"备份与还原", "backup.html"},
        {"卸载软件", "uninstall.html"},
        {"常见问题", "trouble.html"},
        {"安全说明", "security.html"},
    };
    const std::string contents = Text(kLayout.contentsFile);
    const auto names = SitemapValues(contents, "Name");
    const auto locals = SitemapValues(contents, "Local");
    ASSERT_EQ(names.size(), expected.size());
    ASSERT_EQ(locals.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].second);
        EXPECT_EQ(names[i], expected[i].first);
        EXPECT_EQ(locals[i], expected[i].second);
        // The page's own title says the same.
        const std::string page = Text("/" + expected[i].second);
        EXPECT_NE(page.find("<title>" + expected[i].first + "</title>"), std::string::npos);
    }
}

TEST_F(HelpFile, IndexLeadsToTheRightPages)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"S: 盘还在使用中", "trouble.html"}, {"驱动加载失败", "trouble.html"}, {"杀毒软件", "trouble.html"},
        {"忘记密码", "password.html"},       {"修改密码", "password.html"},     {"快捷键 Alt+Ctrl+Y", "tray.html"},
        {"开机自动运行", "tray.html"},       {"备份", "backup.html"},           {"还原", "backup.html"},
        {"卸载软件", "uninstall.html"},      {"新建密盘", "create.html"},       {"打开密盘", "open-close.html"},
        {"关闭密盘", "open-close.html"},     {".sec 文件", "vault.html"},       {"加密", "security.html"},
    };
    const std::string index = Text(kLayout.indexFile);
    const auto names = SitemapValues(index, "Name");
    const auto locals = SitemapValues(index, "Local");
    ASSERT_EQ(names.size(), locals.size());
    for (const auto& [keyword, page] : expected) {
        SCOPED_TRACE(keyword);
        const auto found = std::find(names.begin(), names.end(), keyword);
        ASSERT_NE(found, names.end());
        EXPECT_EQ(locals[static_cast<std::size_t>(found - names.begin())], page);
    }
}

TEST_F(HelpFile, QuotesTheManagersMessagesWordForWord)
{
    // Taken from the manager's own texts, so that a reworded message there
    // shows here as a help page that no longer matches.
    const std::vector<std::pair<std::string, const char16_t*>> quotes = {
        {"/vault.html", texts::kNoVault},
        {"/vault.html", texts::kOpenMarker},
        {"/create.html", texts::kNoDrive},
        {"/create.html", texts::kNoName},
        {"/create.html", texts::kNoSize},
        {"/create.html", texts::kSizeAboveFree},
        {"/create.html", texts::kPasswordTooLong},
        {"/create.html", texts::kConfirmCreateHead},
        {"/create.html", texts::kConfirmCreateTail},
        {"/create.html", texts::kCreateFailedHead},
        {"/create.html", texts::kCreateFailedTail},
        {"/open-close.html", texts::kOpenRefused},
        {"/open-close.html", texts::kMissingFileHead},
        {"/open-close.html", texts::kVaultOnS},
        {"/open-close.html", texts::kVaultClosed},
        {"/open-close.html", texts::kVaultInUse},
        {"/password.html", texts::kOpenVaultFirst},
        {"/password.html", texts::kOldPasswordWrong},
        {"/password.html", texts::kNewPasswordTooLong},
        {"/password.html", texts::kNewPasswordsDiffer},
        {"/password.html", texts::kNewPasswordEmpty},
        {"/password.html", texts::kNewPasswordTooShort},
        {"/password.html", texts::kNewPasswordCaret},
        {"/password.html", texts::kConfirmChange},
        {"/password.html", texts::kChangedHead},
        {"/password.html", texts::kChangedTail},
        {"/password.html", texts::kChangeFailed},
        {"/uninstall.html", texts::kConfirmUninstall},
        {"/uninstall.html", texts::kVaultInUse},
        {"/trouble.html", texts::kVaultInUse},
        {"/trouble.html", texts::kDriverFailed},
        {"/trouble.html", texts::kVaultOnS},
        {"/security.html", texts::kDriverFailed},
    };
    for (const auto& [page, quote] : quotes) {
        SCOPED_TRACE(page + ": " + Utf8(quote));
        EXPECT_NE(VisibleText(Text(page)).find(Utf8(quote)), std::string::npos);
    }
}

TEST_F(HelpFile, EveryQuotedMessageIsOneTheManagerShows)
{
    std::vector<std::string> managerTexts;
    for (const char16_t* text :
         {texts::kNoVault,          texts::kOpenMarker,        texts::kNoDrive,
          texts::kNoName,           texts::kNoSize,            texts::kSizeAboveFree,
          texts::kPasswordTooLong,  texts::kConfirmCreateHead, texts::kConfirmCreateTail,
          texts::kCreateFailedHead, texts::kCreateFailedTail,  texts::kOpenRefused,
          texts::kMissingFileHead,  texts::kBracketTail,       texts::kVaultOnS,
          texts::kVaultClosed,      texts::kVaultInUse,        texts::kOpenVaultFirst,
          texts::kOldPasswordWrong, texts::kNewPasswordTooLong, texts::kNewPasswordsDiffer,
          texts::kNewPasswordEmpty, texts::kNewPasswordTooShort, texts::kNewPasswordCaret,
          texts::kConfirmChange,    texts::kChangedHead,       texts::kChangedTail,
          texts::kChangeFailed,     texts::kConfirmUninstall,  texts::kDriverFailed}) {
        managerTexts.push_back(Utf8(text));
    }
    // The create dialog builds its size limit line in code, around the
    // free space it measured.
    managerTexts.push_back("G，允许最大容量<=");
    const std::string open = "<span class=\"message\">";
    for (const std::string& page : kLayout.pages) {
        const std::string html = Text(page);
        for (std::size_t at = html.find(open); at != std::string::npos; at = html.find(open, at + 1)) {
            const std::size_t start = at + open.size();
            const std::string quoted = VisibleText(html.substr(start, html.find("</span>", start) - start));
            SCOPED_TRACE(page + ": " + quoted);
            const bool known = std::any_of(managerTexts.begin(), managerTexts.end(), [&](const std::string& text) {
                return text.find(quoted) != std::string::npos;
            });
            EXPECT_TRUE(known) << "quoted as the manager's words, but the manager never shows them";
        }
    }
}

TEST_F(HelpFile, NamesTheMenuTheHotkeyAndTheStartInTheTray)
{
    const std::string tray = VisibleText(Text("/tray.html"));
    for (const char* words : {"关闭菜单", "打开软件", "修改密码", "备份还原", "卸载软件", "使用说明", "退出",
                              "Alt+Ctrl+Y", "tessaly.exe /h", "隐藏到托盘里"}) {
        SCOPED_TRACE(words);
        EXPECT_NE(tray.find(words), std::string::npos);
    }
}

TEST_F(HelpFile, NeverClaimsToEncrypt)
{
    // "加密" (encrypt) may only appear where the help says the vault does
    // not encrypt, quotes the manager's own message, or points to real
    // encryption elsewhere.
    const std::vector<std::string> allowed = {
        Utf8(texts::kDriverFailed), "“加密驱动”", "不是加密", "并没有被加密", "没有加密", "并不加密",
        "真正的加密", "BitLocker 磁盘加密",
    };
    for (const std::string& page : kLayout.pages) {
        SCOPED_TRACE(page);
        std::string text = VisibleText(Text(page));
        for (const std::string& phrase : allowed) {
            for (std::size_t at = text.find(phrase); at != std::string::npos; at = text.find(phrase)) {
                text.erase(at, phrase.size());
            }
        }
        const std::size_t claim = text.find("加密");
        if (claim != std::string::npos) {
            ADD_FAILURE() << "claims encryption here: " << text.substr(claim >= 30 ? claim - 30 : 0, 90);
        }
    }
    const std::string security = VisibleText(Text("/security.html"));
    for (const char* words : {"不是加密", "明文", "不用密码也能读出"}) {
        SCOPED_TRACE(words);
        EXPECT_NE(security.find(words), std::string::npos);
    }
}

TEST_F(HelpFile, SaysAForgottenPasswordCannotBeRecovered)
{
    EXPECT_NE(VisibleText(Text("/password.html")).find("忘记的密码无法找回"), std::string::npos);
}

// Proof that the checks above catch a missing file: the real help file with
// one directory entry renamed, byte for byte in place, so that the file is
// still sound but that page or picture is no longer in it.
struct MissingEntry {
    const char* name;
    const char* entry;
    std::vector<std::string> complaints;
};

class HelpFileWithout : public testing::TestWithParam<MissingEntry> {};

TEST_P(HelpFileWithout, IsReported)
{
    std::ifstream file(KORVEL_HELP_FILE, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string entry = GetParam().entry;
    const auto found = std::search(bytes.begin(), bytes.end(), entry.begin(), entry.end());
    ASSERT_NE(found, bytes.end());
    *(found + static_cast<std::ptrdiff_t>(entry.size()) - 1) = '~';

    auto archive = ChmArchive::Parse(std::move(bytes));
    ASSERT_TRUE(archive) << archive.Why();
    const auto problems = HelpFileProblems(archive.Value(), kLayout);
    std::string all;
    for (const std::string& problem : problems) {
        all += problem + "\n";
    }
    for (const std::string& complaint : GetParam().complaints) {
        EXPECT_NE(all.find(complaint), std::string::npos) << "expected: " << complaint << "\nfound:\n" << all;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sabotage, HelpFileWithout,
    testing::Values(
        MissingEntry{"APage",
                     "/backup.html",
                     {"/backup.html is missing", "tessaly.hhc points at backup.html, which is not in the help file",
                      "/index.html links to backup.html, which is not in the help file"}},
        MissingEntry{"ThePageItOpensWith", "/index.html", {"/index.html is missing", "the default topic index.html"}},
        MissingEntry{"APicture",
                     "/images/open-dialog.png",
                     {"/images/open-dialog.png is missing", "/open-close.html links to images/open-dialog.png"}},
        MissingEntry{"TheStyleSheet", "/help.css", {"/help.css is missing", "/vault.html links to help.css"}},
        MissingEntry{"TheContents", "/tessaly.hhc", {"/tessaly.hhc is missing", "#SYSTEM names tessaly.hhc"}},
        MissingEntry{"TheIndex", "/tessaly.hhk", {"/tessaly.hhk is missing"}}),
    [](const testing::TestParamInfo<MissingEntry>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace korvel::chm
