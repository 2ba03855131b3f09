// What the whole manager shares, for the life of the process: the user
// interface, the program folder, the registry module, the control library
// and the remembered password.
#pragma once

#include "support/pellix_library.h"
#include "support/registry.h"

namespace tessaly {

class Ui;

struct Manager {
    Manager(Ui& ui_, Text programFolder_)
        : ui(ui_), programFolder(programFolder_), registry(ui_), pellix(programFolder_)
    {
    }
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    Ui& ui;
    // The folder of the running program, without a trailing backslash.
    const Text programFolder;
    Registry registry;
    PellixLibrary pellix;
    // The password of the last open attempt or creation.
    Text rememberedPassword;
};

}  // namespace tessaly
