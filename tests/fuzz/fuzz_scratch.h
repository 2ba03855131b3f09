// What the fuzz targets share: a scratch folder mapped as drive C:, cleared
// of whatever an input made there, and the driver loaded once per process
// with both units open.
#pragma once

#include "vantor_ioctl.h"

#include <host/kernel_io.h>
#include <ntstatus.h>

#include <cstdint>
#include <string>

namespace korvel::fuzz {

// A fresh folder of this process, mapped as drive C:.
const std::string& ScratchRoot();

// Removes everything in C:\<folder> (C:\ itself by default) except the
// names given.
void ClearScratch(std::initializer_list<const char*> keep = {}, const std::string& folder = "");

// The driver loaded from its host image, and its two units opened.
struct LoadedDriver {
    host::DeviceHandle units[VANTOR_UNIT_COUNT];
};
LoadedDriver& Driver();

// An open request for "\??\C:\<name>" with `password` (ASCII).
OPENDISKFILE_INFO OpenRecord(const char* name, const char* password, std::int64_t size);

// Stops the fuzzer with a message when an invariant does not hold.
[[noreturn]] void Violated(const char* what);

}  // namespace korvel::fuzz
