// A fixture that starts the sample program, finds its dialog and, at the
// end, closes it as a person would (so that its tray icon goes too).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_harness.h"

namespace selftest {

std::wstring SamplePath();

class SampleTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the sample with these arguments and finds its dialog.
    void StartSample(const std::vector<std::wstring>& arguments = {});
    // Closes the dialog with its Cancel command and waits for the exit code.
    void CloseSample(DWORD expectedExitCode = 0);

    std::wstring Status() const;
    // Waits until the status line reads `expected`; fails with what it read.
    ::testing::AssertionResult StatusBecomes(const std::wstring& expected) const;
    // A screenshot once the program is idle, named after what it shows.
    void Screenshot(const std::string& name);

    gui::Program m_Program;
    HWND m_Dialog = nullptr;
};

}  // namespace selftest
