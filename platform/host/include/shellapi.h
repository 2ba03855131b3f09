// The shell calls that our user-mode code makes (shell32), as the host
// platform provides them.
#pragma once

#include <windows.h>
