// The registry calls that our user-mode code makes (advapi32), as the host
// platform provides them.
#pragma once

#include <windows.h>
