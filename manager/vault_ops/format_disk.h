// Formatting a new vault's volume with the system's format library
// (fmifs.dll, FormatEx), and turning its reports into the create dialog's
// progress line.
#pragma once

#include "support/text.h"

#include <cstdint>

namespace tessaly {

class TextControl;
class Ui;

// What FormatEx reports: the progress percentage and, at the end, whether it
// succeeded. The two values live for the process: a later creation starts
// from what the previous one left.
struct FormatReports {
    std::int32_t percentage = 0;
    std::uint8_t done = 0;
};
FormatReports& LastFormatReports();

// Where the reports are shown while a create dialog is open.
struct FormatProgressView {
    Ui& ui;
    TextControl& progress;   // Label7
    TextControl& limitHint;  // Label5, which shows a failure
};
void SetFormatProgressView(FormatProgressView* view);

// FormatEx's commands that the manager acts on.
inline constexpr std::uint32_t kFormatProgress = 0;
inline constexpr std::uint32_t kFormatDone = 11;

// The progress callback: lets pending events run, shows progress or the
// outcome, and always answers 1 (go on).
BOOLEAN WINAPI FormatCallback(std::uint32_t command, DWORD detail, PVOID information);

// Calls FormatEx(drive, mediaKind, fileSystem, label, quick, 0, callback)
// and returns when it does. The outcome reaches the user only through the
// callback. False, with nothing done, when fmifs.dll or FormatEx cannot be
// bound (Wine, for one, has no format library).
bool FormatVolume(const Text& drive, DWORD mediaKind, const Text& fileSystem, const Text& label, BOOL quick);

}  // namespace tessaly
