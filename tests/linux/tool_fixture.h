// korvel-vault as a person uses it: the program run with its arguments,
// passwords on standard input, its exit status and its one-line messages.
#pragma once

#include "support/scratch_drive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvel::test {

struct ToolOutcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class VaultToolTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_Folder.Path() + "/" + name; }

    // Runs the tool with `arguments`, `input` on its standard input and
    // `environment` ("NAME=value ...") added to its environment.
    ToolOutcome Run(const std::vector<std::string>& arguments, const std::string& input = "",
                    const std::string& environment = "");

    // A fresh vault of `size` with `password`; skips where mkntfs is missing.
    void MakeVault(const std::string& name, const std::string& password, const std::string& size = "8M");

    ScratchFolder m_Folder;
};

}  // namespace korvel::test
