// Which host files are loaded as libraries: Windows keeps a loaded library's
// file mapped as an image, and refuses to delete it until it is freed.
#pragma once

#include <sys/types.h>

namespace host {

bool IsLoadedLibraryFile(dev_t device, ino_t inode);

}  // namespace host
