#include "setup/installer.h"

#include "setup/setup_texts.h"

namespace setup {

namespace {

struct OwnFile {
    int id;
    const char16_t* name;
};

const OwnFile kOwnFiles[] = {
    {kManagerId, u"\\tessaly.exe"},
    {kHelpFileId, u"\\tessaly.chm"},
    {kLibraryId, u"\\Pellix.dll"},
};

constexpr char16_t kDriverName[] = u"\\Vantor.dll";
constexpr char16_t kManagerName[] = u"\\tessaly.exe";

// Replaces an outdated driver. True when the driver written is newer than
// the one it replaced: the running driver goes only at the next restart.
bool ReplaceDriver(InstallerSystem& system, int id, const Text& path)
{
    const Text before = system.FileVersion(path);
    system.MakeNormal(path);
    system.WriteCarried(id, path);
    return VersionIsNewer(system.FileVersion(path), before);
}

}  // namespace

RunOutcome RunInstaller(InstallerSystem& system, const std::vector<RuntimeFile>& runtimeFiles)
{
    RunOutcome outcome;
    const bool wide = system.Is64BitWindows();
    const Text systemDirectory = system.SystemDirectory();
    const Text folder = ProgramFolderFrom(systemDirectory);
    const std::int64_t installerTime = system.InstallerTime();

    if (!system.Status(folder).exists) {
        system.CreateFolder(folder);
        if (!system.Status(folder).exists) {
            system.ShowMessage(texts::kFolderFailed, texts::kFolderFailedCaption, MessageButtons::Ok);
            outcome.ended = true;
            return outcome;
        }
    }
    const Text driver = folder + kDriverName;
    if (!system.Status(driver).exists &&
        system.ShowMessage(texts::kNotes, texts::kNotesCaption, MessageButtons::OkCancel) != MessageAnswer::Ok) {
        outcome.ended = true;
        return outcome;
    }

    // Every write below may fail (a file in use, no rights): the run goes on.
    for (const RuntimeFile& file : runtimeFiles) {
        if (!system.Status(systemDirectory + u"\\" + file.name).exists) {
            system.WriteCarried(file.id, folder + u"\\" + file.name);
        }
    }
    for (const OwnFile& file : kOwnFiles) {
        const Text path = folder + file.name;
        if (OwnFileNeedsWriting(system.Status(path), system.CarriedSize(file.id))) {
            system.WriteCarried(file.id, path);
        }
    }
    const int driverId = wide ? kDriver64Id : kDriver32Id;
    switch (DecideDriver(system.Status(driver), system.CarriedSize(driverId), installerTime)) {
    case DriverAction::Write:
        system.WriteCarried(driverId, driver);
        break;
    case DriverAction::Keep:
        break;
    case DriverAction::Replace:
        outcome.driverUpdated = ReplaceDriver(system, driverId, driver);
        break;
    }

    // The shortcut starts the manager itself, from the program folder.
    system.MakeShortcut(system.DesktopFolder() + texts::kShortcutName, folder + kManagerName, folder,
                        texts::kShortcutDescription);

    if (outcome.driverUpdated) {
        system.ShowMessage(texts::kDriverUpdated, texts::kDriverUpdatedCaption, MessageButtons::Ok);
        return outcome;
    }
    system.StartProgram(folder + kManagerName, folder);
    outcome.managerStarted = true;
    return outcome;
}

}  // namespace setup
