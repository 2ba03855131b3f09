// The window-manager calls that our user-mode code makes (user32), as the
// host platform provides them.
#pragma once

#include <windows.h>
