#include "bugcheck.h"

#include <cstdio>
#include <cstdlib>

namespace host {

void BugCheck(const char* what, const char* detail)
{
    std::fprintf(stderr, "*** STOP: %s (%s)\n", what, detail);
    std::fflush(stderr);
    std::abort();
}

}  // namespace host
