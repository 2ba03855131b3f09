// Libraries that Windows keeps in its system folder and that the host
// platform itself provides, when a test has asked for them. LoadLibraryW
// finds them by bare name after the program's folder, as Windows looks in
// the system folder after the application's.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

namespace host {

void ProvideSystemLibrary(const std::u16string& name, std::map<std::string, FARPROC> exports);
void WithdrawSystemLibrary(const std::u16string& name);

// The module of a provided library, or nullptr; `name` is a bare file name.
HMODULE FindSystemLibrary(const std::u16string& name);
// Whether `module` is a provided library; if so `function` is its export
// `name`, or nullptr when it has none.
bool SystemLibraryExport(HMODULE module, const char* name, FARPROC& function);
// Lets go of one load of a provided library; false when `module` is none.
bool ReleaseSystemLibrary(HMODULE module);

}  // namespace host
