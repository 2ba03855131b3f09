// The open record a test sends to a unit, built in one place for the driver
// tests, the library's bad-input tests and the fuzz targets.
#pragma once

#include "vantor_ioctl.h"

#include <cstdint>
#include <string>

namespace korvel::test {

// A record for `ntPath` (such as "\??\C:\vault.sec") and `password`, both
// UTF-8, with every other byte zero. Each text fills its field up to the
// field's end: one as long as its field, or longer, has no terminator there,
// which is how a test sends a malformed record.
OPENDISKFILE_INFO OpenRequest(const std::string& ntPath, const std::string& password, std::int64_t sizeBytes);

}  // namespace korvel::test
