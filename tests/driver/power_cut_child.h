// What the power-cut test's children do: each loads the driver image into its
// own host kernel, exactly as the driver tests do, and talks to unit 0 with
// requests only. Both end with _exit(); neither returns.
#pragma once

#include "power_cut_round.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvel::test {

// Mounts the vault with the round's password and sends the round's requests
// batch by batch, each announced before it is sent and reported once done;
// then waits to be killed.
[[noreturn]] void WorkOnVault(int reportFd, const std::string& ntPath, const RoundPlan& plan);

// Opens the vault with each password in turn (a missing file is created
// with a data area of `createSize` bytes), reports each outcome with the
// disk length the unit then answers, and closes it again.
[[noreturn]] void ProbeVault(int reportFd, const std::string& ntPath, const std::vector<std::string>& passwords,
                             std::int64_t createSize);

}  // namespace korvel::test
