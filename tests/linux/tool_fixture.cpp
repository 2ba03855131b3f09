#include "tool_fixture.h"

#include <host/system_programs.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace korvel::test {

namespace {

std::string Quoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ToolOutcome VaultToolTest::Run(const std::vector<std::string>& arguments, const std::string& input,
                               const std::string& environment)
{
    WriteHostFile(Path("stdin"), std::vector<std::uint8_t>(input.begin(), input.end()));
    std::string command = environment.empty() ? std::string() : "env " + environment + " ";
    command += Quoted(KORVEL_VAULT_TOOL);
    for (const std::string& argument : arguments) {
        command += " " + Quoted(argument);
    }
    command += " <" + Quoted(Path("stdin")) + " >" + Quoted(Path("stdout")) + " 2>" + Quoted(Path("stderr"));
    const int status = std::system(command.c_str());
    ToolOutcome outcome;
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = Slurp(Path("stdout"));
    outcome.err = Slurp(Path("stderr"));
    return outcome;
}

void VaultToolTest::MakeVault(const std::string& name, const std::string& password, const std::string& size)
{
    if (host::FindSystemProgram("mkntfs").empty()) {
        GTEST_SKIP() << "mkntfs is not installed (Debian package ntfs-3g)";
    }
    const ToolOutcome made = Run({"create", Path(name), size}, password + "\n" + password + "\n");
    ASSERT_EQ(made.exitCode, 0) << made.err;
}

}  // namespace korvel::test
