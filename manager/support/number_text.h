// Numbers as the manager shows and reads them.
#pragma once

#include "support/text.h"

#include <cstdint>

namespace tessaly {

// The nearest whole number, halves to the even neighbour (as the manager
// rounds megabyte counts), held to the 32-bit range.
std::int32_t RoundHalfEven(double value);

// The capacity text of a vault file of `sizeBytes` bytes: whole megabytes
// followed by "M", or, from 1024 megabytes on, whole gigabytes (rounded
// down) followed by "G". 500 MiB gives "500M", 1.5 GiB gives "1G".
Text CapacityText(double sizeBytes);

// The value of a text: its longest leading decimal number ("." as the
// point, an optional sign, blanks before it skipped); 0 when it has none.
// "10G" is 10, "abc" is 0, ".5" is 0.5.
double ValueOf(TextView text);

// The shortest decimal text of `value` with up to 15 significant digits,
// without a leading blank; no digit before the point of a value between -1
// and 1 (0.7 gives ".7").
Text NumberText(double value);

// Cut to one decimal: everything up to the first digit after the first
// "."; a text without "." stays whole. "12.3456" gives "12.3".
Text CutToOneDecimal(TextView text);

}  // namespace tessaly
