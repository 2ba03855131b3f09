// GetLogicalDriveStringsW: the roots of every drive letter in use, those of
// the drive table and those a DOS device definition names (such as S: while
// a vault is open), in letter order.
#include "win32_errors.h"

#include "../kernel/io_objects.h"

#include <host/drive_table.h>

extern "C" DWORD WINAPI GetLogicalDriveStringsW(DWORD nBufferLength, LPWSTR lpBuffer)
{
    std::u16string roots;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::u16string name{char16_t(letter), u':'};
        if (host::FindDrive(letter) || !host::LinkTargets(u"\\??\\" + name).empty()) {
            roots += name + u"\\";
            roots += u'\0';
        }
    }
    // Too small: the size needed, final terminator included, and nothing written.
    if (lpBuffer == nullptr || nBufferLength < roots.size() + 1) {
        return static_cast<DWORD>(roots.size() + 1);
    }
    std::copy(roots.begin(), roots.end(), lpBuffer);
    lpBuffer[roots.size()] = 0;
    return static_cast<DWORD>(roots.size());
}
