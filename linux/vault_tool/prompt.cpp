#include "prompt.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace vault_tool {

namespace {

// Echo off for as long as it lives, and back on however the read ends.
class EchoOff {
public:
    EchoOff()
    {
        m_Active = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &m_Saved) == 0;
        if (m_Active) {
            termios quiet = m_Saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~EchoOff()
    {
        if (m_Active) {
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_Saved);
            std::fputs("\n", stderr);
        }
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios m_Saved{};
    bool m_Active = false;
};

}  // namespace

std::optional<std::string> AskSecret(const std::string& prompt)
{
    // A password piped in needs no prompt.
    if (isatty(STDIN_FILENO)) {
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
    }
    const EchoOff quiet;
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

}  // namespace vault_tool
