// Replaced by the tests of the kernel32 and advapi32 subset.
#include <gtest/gtest.h>
