#include "vault_ops/format_disk.h"

#include "shell/controls.h"
#include "shell/ui.h"
#include "support/number_text.h"
#include "vault_ops/texts.h"

#include <algorithm>
#include <cstring>

namespace tessaly {

namespace {

typedef BOOLEAN(WINAPI* FormatCallbackFn)(std::uint32_t command, DWORD detail, PVOID information);
typedef VOID(WINAPI* FormatExFn)(PWCHAR driveRoot, DWORD mediaKind, PWCHAR fileSystem, PWCHAR label, BOOL quick,
                                 DWORD clusterSize, FormatCallbackFn callback);

FormatProgressView*& ProgressView()
{
    static FormatProgressView* view = nullptr;
    return view;
}

// The format library for one format, freed afterwards.
class FormatLibrary {
public:
    FormatLibrary() : m_Module(LoadLibraryW(L"fmifs.dll")) {}
    ~FormatLibrary()
    {
        if (m_Module != nullptr) {
            FreeLibrary(m_Module);
        }
    }
    FormatLibrary(const FormatLibrary&) = delete;
    FormatLibrary& operator=(const FormatLibrary&) = delete;

    FormatExFn FormatEx() const
    {
        if (m_Module == nullptr) {
            return nullptr;
        }
        return reinterpret_cast<FormatExFn>(reinterpret_cast<void*>(GetProcAddress(m_Module, "FormatEx")));
    }

private:
    HMODULE m_Module;
};

}  // namespace

FormatReports& LastFormatReports()
{
    static FormatReports reports;
    return reports;
}

void SetFormatProgressView(FormatProgressView* view)
{
    ProgressView() = view;
}

BOOLEAN WINAPI FormatCallback(std::uint32_t command, DWORD detail, PVOID information)
{
    FormatProgressView* view = ProgressView();
    if (view != nullptr) {
        view->ui.PumpEvents();
    }
    FormatReports& reports = LastFormatReports();
    if (command == kFormatProgress) {
        // The second argument is taken as the report's size, at most the
        // size of the value that receives it.
        if (information != nullptr) {
            std::memcpy(&reports.percentage, information, std::min<std::size_t>(detail, sizeof(reports.percentage)));
        }
        if (view != nullptr) {
            view->progress.SetText(Text(texts::kProgressHead) + u" " + NumberText(reports.percentage) + u"%");
        }
    } else if (command == kFormatDone) {
        if (information != nullptr) {
            std::memcpy(&reports.done, information, std::min<std::size_t>(detail, sizeof(reports.done)));
        }
        if (view != nullptr) {
            if (reports.done != 0) {
                view->progress.SetText(texts::kProgressDone);
            } else {
                view->limitHint.SetText(texts::kFormatFailed);
            }
        }
    }
    return 1;
}

bool FormatVolume(const Text& drive, DWORD mediaKind, const Text& fileSystem, const Text& label, BOOL quick)
{
    const FormatLibrary library;
    FormatExFn formatEx = library.FormatEx();
    if (formatEx == nullptr) {
        return false;
    }
    // FormatEx takes writable strings: hand it copies.
    Text driveCopy = drive;
    Text fileSystemCopy = fileSystem;
    Text labelCopy = label;
    formatEx(WideBuffer(driveCopy), mediaKind, WideBuffer(fileSystemCopy), WideBuffer(labelCopy), quick, 0,
             &FormatCallback);
    return true;
}

}  // namespace tessaly
