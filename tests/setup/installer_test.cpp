// One run of the installer against a table of files: what it writes, asks,
// links and starts, on a fresh system and on one it has been on before.
#include "setup/installer.h"
#include "setup/setup_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

using setup::FileStatus;
using setup::MessageAnswer;
using setup::MessageButtons;
using tessaly::Text;

std::string U8(const Text& text)
{
    return tessaly::Utf8(text);
}

constexpr std::int64_t kInstallerTime = 1'700'000'000;
constexpr std::int64_t kNow = kInstallerTime + 3600;

// A system as a table: files by path, the carried files' sizes and
// versions, and a record of everything the installer did.
class TableSystem final : public setup::InstallerSystem {
public:
    bool wide = true;
    bool folderCreatable = true;
    std::map<std::string, FileStatus> files;
    std::map<std::string, std::string> versions;  // of files on disk
    std::map<int, std::uint64_t> carriedSizes{{147, 600000}, {148, 300000}, {284, 500000}, {311, 51944},
                                              {464, 42216},  {129, 1000},   {140, 2000}};
    std::map<int, std::string> carriedVersions{{311, "1.0.0.10"}, {464, "1.0.0.10"}};
    std::deque<MessageAnswer> answers;

    struct Message {
        std::string text;
        std::string caption;
        MessageButtons buttons;
    };
    std::vector<Message> messages;
    std::vector<std::string> actions;  // in order: "write <id> <path>", "normal <path>", ...

    // ^InstallerSystem
    bool Is64BitWindows() override { return wide; }
    Text SystemDirectory() override { return u"C:\\Windows\\system32"; }
    std::int64_t InstallerTime() override { return kInstallerTime; }
    FileStatus Status(const Text& path) override
    {
        auto found = files.find(U8(path));
        return found == files.end() ? FileStatus{} : found->second;
    }
    bool CreateFolder(const Text& path) override
    {
        actions.push_back("mkdir " + U8(path));
        if (folderCreatable) {
            files[U8(path)] = FileStatus{true, 0, kNow};
        }
        return folderCreatable;
    }
    MessageAnswer ShowMessage(const Text& text, const Text& caption, MessageButtons buttons) override
    {
        messages.push_back({U8(text), U8(caption), buttons});
        if (answers.empty()) {
            return MessageAnswer::Ok;
        }
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::uint64_t CarriedSize(int id) override { return carriedSizes.count(id) ? carriedSizes[id] : 0; }
    bool WriteCarried(int id, const Text& path) override
    {
        actions.push_back("write " + std::to_string(id) + " " + U8(path));
        files[U8(path)] = FileStatus{true, CarriedSize(id), kNow};
        versions[U8(path)] = carriedVersions.count(id) ? carriedVersions[id] : "";
        return true;
    }
    Text FileVersion(const Text& path) override
    {
        const std::string version = versions.count(U8(path)) ? versions[U8(path)] : "";
        return Text(version.begin(), version.end());
    }
    void MakeNormal(const Text& path) override { actions.push_back("normal " + U8(path)); }
    Text DesktopFolder() override { return u"C:\\Users\\me\\Desktop"; }
    bool MakeShortcut(const Text& link, const Text& target, const Text& workingFolder,
                      const Text& description) override
    {
        actions.push_back("link " + U8(link) + " -> " + U8(target) + " in " + U8(workingFolder) + " (" +
                          U8(description) + ")");
        return true;
    }
    void StartProgram(const Text& path, const Text& workingFolder) override
    {
        actions.push_back("start " + U8(path) + " in " + U8(workingFolder));
    }

    // A machine the installer has been on: every file in place, the driver
    // written after the installer file.
    void Installed()
    {
        files["C:\\Software"] = {true, 0, kNow};
        files["C:\\Software\\tessaly.exe"] = {true, 600000, kNow};
        files["C:\\Software\\tessaly.chm"] = {true, 300000, kNow};
        files["C:\\Software\\Pellix.dll"] = {true, 500000, kNow};
        files["C:\\Software\\Vantor.dll"] = {true, wide ? 51944u : 42216u, kNow};
        versions["C:\\Software\\Vantor.dll"] = "1.0.0.10";
    }

    std::vector<std::string> Writes() const
    {
        std::vector<std::string> writes;
        for (const std::string& action : actions) {
            if (action.rfind("write ", 0) == 0) {
                writes.push_back(action);
            }
        }
        return writes;
    }
};

const std::string kLink =
    "link C:\\Users\\me\\Desktop\\Korvel多功能保险柜.lnk -> C:\\Software\\tessaly.exe in C:\\Software (Korvel登录器)";
const std::string kStart = "start C:\\Software\\tessaly.exe in C:\\Software";

TEST(Installer, AFreshSystemGetsTheNotesEveryFileTheShortcutAndTheManager)
{
    for (const bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "64-bit Windows" : "32-bit Windows");
        TableSystem system;
        system.wide = wide;
        const setup::RunOutcome outcome = setup::RunInstaller(system);
        ASSERT_EQ(system.messages.size(), 1u);
        EXPECT_EQ(system.messages[0].text, U8(setup::texts::kNotes));
        EXPECT_EQ(system.messages[0].caption, "Korvel多功能保险柜v2.7.1--安装向导");
        EXPECT_EQ(system.messages[0].buttons, MessageButtons::OkCancel);
        EXPECT_EQ(system.Writes(), (std::vector<std::string>{
                                       "write 147 C:\\Software\\tessaly.exe",
                                       "write 148 C:\\Software\\tessaly.chm",
                                       "write 284 C:\\Software\\Pellix.dll",
                                       wide ? "write 311 C:\\Software\\Vantor.dll" : "write 464 C:\\Software\\Vantor.dll",
                                   }));
        EXPECT_EQ(system.actions.front(), "mkdir C:\\Software");
        EXPECT_EQ(system.actions[system.actions.size() - 2], kLink);
        EXPECT_EQ(system.actions.back(), kStart);
        EXPECT_TRUE(outcome.managerStarted);
        EXPECT_FALSE(outcome.driverUpdated);
    }
}

TEST(Installer, TheNotesLinesAreSeparatedBySingleLineFeeds)
{
    const std::string notes = U8(setup::texts::kNotes);
    EXPECT_EQ(std::count(notes.begin(), notes.end(), '\n'), 5);
    EXPECT_EQ(notes.find('\r'), std::string::npos);
    EXPECT_EQ(notes.rfind("安装注意事项：\n1、", 0), 0u);
}

TEST(Installer, CancelOnTheNotesWritesNothing)
{
    TableSystem system;
    system.answers.push_back(MessageAnswer::Cancel);
    const setup::RunOutcome outcome = setup::RunInstaller(system);
    EXPECT_TRUE(outcome.ended);
    EXPECT_EQ(system.actions, std::vector<std::string>{"mkdir C:\\Software"}) << "only the folder, before the notes";
}

TEST(Installer, AProgramFolderThatCannotBeMadeIsToldAndEndsTheRun)
{
    TableSystem system;
    system.folderCreatable = false;
    const setup::RunOutcome outcome = setup::RunInstaller(system);
    EXPECT_TRUE(outcome.ended);
    ASSERT_EQ(system.messages.size(), 1u);
    EXPECT_EQ(system.messages[0].text, "无法创建安装目录，可能是用户权限不足，请联系管理员!");
    EXPECT_EQ(system.messages[0].caption, "Korvel多功能保险柜-安装向导");
    EXPECT_EQ(system.messages[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(system.Writes().empty());
}

TEST(Installer, ASecondRunWritesNothingAndStartsTheManager)
{
    TableSystem system;
    system.Installed();
    const setup::RunOutcome outcome = setup::RunInstaller(system);
    EXPECT_TRUE(system.messages.empty()) << "no notes: the driver is there";
    EXPECT_TRUE(system.Writes().empty());
    EXPECT_EQ(system.actions, (std::vector<std::string>{kLink, kStart}));
    EXPECT_TRUE(outcome.managerStarted);
}

TEST(Installer, OwnFilesOfAnotherSizeAreWrittenAgain)
{
    TableSystem system;
    system.Installed();
    system.files["C:\\Software\\tessaly.exe"].size = 599999;
    system.files.erase("C:\\Software\\tessaly.chm");
    setup::RunInstaller(system);
    EXPECT_EQ(system.Writes(), (std::vector<std::string>{"write 147 C:\\Software\\tessaly.exe",
                                                         "write 148 C:\\Software\\tessaly.chm"}));
}

TEST(Installer, AnOutdatedDriverIsReplacedAndANewerOneAsksForARestart)
{
    struct Case {
        const char* label;
        std::uint64_t size;
        std::int64_t modified;
        const char* versionBefore;
        bool replaced;
        bool restart;
    };
    const Case cases[] = {
        {"same size, newer than the installer", 51944, kNow, "1.0.0.9", false, false},
        {"same size, older, an older version", 51944, kInstallerTime - 1, "1.0.0.9", true, true},
        {"same size, older, the same version", 51944, kInstallerTime - 1, "1.0.0.10", true, false},
        {"same size, older, a newer version", 51944, kInstallerTime - 1, "1.0.0.11", true, false},
        {"another size, newer, no version", 40000, kNow, "", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TableSystem system;
        system.Installed();
        system.files["C:\\Software\\Vantor.dll"] = {true, c.size, c.modified};
        system.versions["C:\\Software\\Vantor.dll"] = c.versionBefore;
        const setup::RunOutcome outcome = setup::RunInstaller(system);
        if (c.replaced) {
            EXPECT_EQ(system.Writes(), std::vector<std::string>{"write 311 C:\\Software\\Vantor.dll"});
            // Made writable (read-only, hidden, system cleared) before it is written.
            const auto normal = std::find(system.actions.begin(), system.actions.end(), "normal C:\\Software\\Vantor.dll");
            const auto write =
                std::find(system.actions.begin(), system.actions.end(), "write 311 C:\\Software\\Vantor.dll");
            EXPECT_LT(normal, write);
        } else {
            EXPECT_TRUE(system.Writes().empty());
        }
        EXPECT_EQ(outcome.driverUpdated, c.restart);
        EXPECT_EQ(outcome.managerStarted, !c.restart);
        EXPECT_EQ(system.actions.back(), c.restart ? kLink : kStart) << "the shortcut is placed either way";
        if (c.restart) {
            ASSERT_EQ(system.messages.size(), 1u);
            EXPECT_EQ(system.messages[0].text, "检测到驱动更新，需要重启才能生效!");
            EXPECT_EQ(system.messages[0].caption, "升级工具提示");
            EXPECT_EQ(system.messages[0].buttons, MessageButtons::Ok);
        } else {
            EXPECT_TRUE(system.messages.empty());
        }
    }
}

TEST(Installer, RuntimeFilesGoToTheProgramFolderOnlyWhenTheSystemLacksThem)
{
    EXPECT_TRUE(setup::kRuntimeFiles.empty()) << "the manager is linked statically and needs none";
    const std::vector<setup::RuntimeFile> runtime = {{129, u"asycfilt.dll"}, {140, u"VB6CHS.DLL"}};
    TableSystem system;
    system.Installed();
    system.files["C:\\Windows\\system32\\asycfilt.dll"] = {true, 1000, 1};
    setup::RunInstaller(system, runtime);
    EXPECT_EQ(system.Writes(), std::vector<std::string>{"write 140 C:\\Software\\VB6CHS.DLL"});
}

}  // namespace
