// The manager's registry access: string values under a key named by one
// path text such as "HKEY_LOCAL_MACHINE\SOFTWARE\...\Run". Each operation
// splits the path, opens the key, does its one job and closes the key.
//
// The ANSI forms of the registry functions are used on purpose: names and
// data pass through the system's ANSI code page, as the stored settings of
// earlier versions expect, and the byte counts below are defined by them.
#pragma once

#include "support/text.h"

namespace tessaly {

class Ui;

// The predefined key that a hive name stands for ("HKEY_LOCAL_MACHINE" and
// the other six, written exactly so), or nullptr.
HKEY HiveFromName(TextView name);

class Registry {
public:
    explicit Registry(Ui& ui) : m_Ui(ui) {}

    // Splits "hive\sub-key" into the hive's key and the sub-key, which
    // replaces `path`. A path that does not begin with "HKEY_" or that ends
    // with a backslash is refused with the message "Incorrect Format:": the
    // result is then false and the caller does nothing further. `hive` is
    // nullptr when the text names no hive.
    bool SplitKeyPath(Text& path, HKEY& hive);

    // The value's text; "Error" when the key cannot be opened or the value
    // cannot be read; an empty text when the path names no hive. Blanks at
    // either end of the stored text are lost.
    Text ReadRegString(const Text& path, const Text& name);
    // Stores `data` as a REG_SZ value under an existing key. Failures are
    // silent: the key is never created.
    void WriteRegString(const Text& path, const Text& name, const Text& data);
    // Deletes the value. Failures, a missing value among them, are silent.
    void DeleteRegValue(const Text& path, const Text& name);

private:
    Ui& m_Ui;
};

}  // namespace tessaly
