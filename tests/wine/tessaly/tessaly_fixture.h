// A fixture for the real tessaly.exe in C:\Software of the scratch prefix:
// starts it as the user or the Run key would, finds its main window, drives
// its menu, dialogs and message boxes, and takes screenshots of what a
// person would see.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_harness.h"

namespace tessaly_wine {

inline const wchar_t* const kProgram = L"C:\\Software\\tessaly.exe";
inline const wchar_t* const kTitle = L"Korvel多功能保险柜";
inline const wchar_t* const kVaultPath = L"C:\\autorun.inf\\工作.sec";
inline const wchar_t* const kVaultPassword = L"Secret12";
inline const wchar_t* const kRunKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The Run key's "tessaly" value, or nothing.
std::optional<std::wstring> RunValue();
void DeleteRunValue();

// Closes a vault open as S: the way SysDiskUnMountEx would on Windows. Under
// Wine the library's dismount cannot succeed (Wine hands the volume dismount
// request to the disk driver, which refuses it), so the close request and
// the removal of S: are made here directly.
void CloseVaultAsS();

// A vault of 8 MiB at kVaultPath, made once per process through the control
// library and closed again, so that the manager has something to list.
::testing::AssertionResult EnsureVault();

class TessalyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the manager and waits for its main window; shown unless `hidden`.
    void StartManager(const std::vector<std::wstring>& arguments = {}, bool hidden = false);
    // Ends the manager through its menu item "退出" and waits for the end.
    void ExitThroughMenu();

    // Opens the pop-up menu with Alt+Ctrl+Y and reads it.
    HWND PopUpMenuByHotkey(std::vector<gui::MenuItem>& items);
    static std::vector<std::wstring> ShownTexts(const std::vector<gui::MenuItem>& items);

    // The next message box of the manager, checked for caption and buttons.
    std::optional<gui::MessageBoxView> ExpectMessage(const std::wstring& text, std::vector<int> buttons = {IDOK});
    // A dialog of the manager with this caption.
    HWND WaitForDialog(const std::wstring& caption);
    // A screenshot of the screen once the manager has nothing left to do.
    void Screenshot(const std::string& name);

    gui::Program m_Manager;
    HWND m_Main = nullptr;
};

}  // namespace tessaly_wine
