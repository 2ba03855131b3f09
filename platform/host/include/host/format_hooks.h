// Knobs of the host's stand-in for Windows' format library, fmifs.dll. No
// format library is there unless a test provides one: then
// LoadLibraryW(L"fmifs.dll") finds it, and its FormatEx records the request
// and reports through the caller's callback, on the caller's thread. It
// either follows a script, or really writes an NTFS volume (made by mkntfs)
// onto the drive through its device, reporting its own progress and outcome.
// Product code never includes this header.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

struct FormatScript {
    std::vector<DWORD> percentages;  // progress reports, in order
    bool succeeds = true;            // the flag of the final "done" report
    // Instead of the two above: write a real NTFS volume onto the drive.
    bool writesVolume = false;
};

struct FormatCall {
    std::u16string driveRoot;
    DWORD mediaFlag = 0;
    std::u16string fileSystem;
    std::u16string label;
    BOOL quickFormat = FALSE;
    DWORD clusterSize = 0;
    std::vector<BOOLEAN> callbackAnswers;  // what the callback answered, report by report
};

// From now on fmifs.dll is there, and its FormatEx follows `script`.
void ProvideFormatLibrary(FormatScript script);
// fmifs.dll is gone again; the record of calls is cleared.
void WithdrawFormatLibrary();
std::vector<FormatCall> FormatCalls();

}  // namespace host
