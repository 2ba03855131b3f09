// File-system and security parts of the NT kernel API, as on Windows, where
// ntifs.h is the superset of ntddk.h that a driver includes.
#pragma once

#include <ntddk.h>
