// korvel-vault: a vault file (.sec) on Linux, through the driver's own
// VaultImage. See the README for the subcommands.
#include "commands.h"

#include <cstdio>
#include <string>

namespace {

int Usage()
{
    std::fputs("用法：korvel-vault info 文件\n"
               "      korvel-vault check 文件\n"
               "      korvel-vault create 文件 大小（例如 500M、2G）\n"
               "      korvel-vault passwd 文件\n"
               "      korvel-vault mount [--fuse] 文件 文件夹\n"
               "      korvel-vault unmount 文件夹\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string file = argv[2];
    if (command == "info" && argc == 3) {
        return vault_tool::Info(file);
    }
    if (command == "check" && argc == 3) {
        return vault_tool::Check(file);
    }
    if (command == "passwd" && argc == 3) {
        return vault_tool::ChangePassword(file);
    }
    if (command == "mount" && argc == 4) {
        return vault_tool::Mount(file, argv[3], false);
    }
    if (command == "mount" && argc == 5 && file == "--fuse") {
        return vault_tool::Mount(argv[3], argv[4], true);
    }
    if (command == "unmount" && argc == 3) {
        return vault_tool::Unmount(file);
    }
    if (command == "create" && argc == 4) {
        return vault_tool::Create(file, argv[3]);
    }
    return Usage();
}
