// Replaced by the tests of the user32 and shell32 subset.
#include <gtest/gtest.h>
