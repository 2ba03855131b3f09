// The host standing in for a Windows machine with the product installed, for
// the programs that drive the control library on the host.
#pragma once

#include "tour.h"

#include <string>

// Empties `folder` and makes it drive C:, with the host build of the driver
// as C:\Software\Vantor.dll and an empty C:\autorun.inf; then loads the host
// build of the control library and binds its exports by name. The library's
// handle, or nullptr after a message on standard error.
void* PrepareHostMachine(const std::string& folder, PellixExports& pellix);
