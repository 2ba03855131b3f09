// Linux programs the host hands work to (mkntfs for the format library's
// stand-in; ntfs-3g, losetup and umount for the Linux vault tool).
#pragma once

#include <string>

namespace host {

// The program's full path from PATH or the administrator's folders (Debian
// keeps mkntfs and losetup in sbin, which a normal user's PATH lacks); an
// empty text when it is not installed.
std::string FindSystemProgram(const std::string& name);

}  // namespace host
