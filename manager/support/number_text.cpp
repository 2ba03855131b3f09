#include "support/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace tessaly {

std::int32_t RoundHalfEven(double value)
{
    // Written out rather than left to the floating-point rounding mode,
    // which any library loaded into the process could change.
    double rounded = std::floor(value);
    const double fraction = value - rounded;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
        rounded += 1.0;
    }
    if (!(rounded >= std::numeric_limits<std::int32_t>::min())) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (rounded > std::numeric_limits<std::int32_t>::max()) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(rounded);
}

Text CapacityText(double sizeBytes)
{
    const std::int32_t megabytes = RoundHalfEven(sizeBytes / 1024.0 / 1024.0);
    if (megabytes >= 1024) {
        return DecimalText(static_cast<long long>(std::floor(megabytes / 1024.0))) + u"G";
    }
    return DecimalText(megabytes) + u"M";
}

double ValueOf(TextView text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) {
        ++at;
    }
    std::string number;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        number.push_back(static_cast<char>(text[at++]));
    }
    bool digits = false;
    bool point = false;
    for (; at < text.size(); ++at) {
        const char16_t unit = text[at];
        if (unit >= u'0' && unit <= u'9') {
            digits = true;
        } else if (unit == u'.' && !point) {
            point = true;
        } else {
            break;
        }
        number.push_back(static_cast<char>(unit));
    }
    return digits ? std::strtod(number.c_str(), nullptr) : 0.0;
}

Text NumberText(double value)
{
    if (value == 0.0) {
        return u"0";
    }
    char buffer[40];
    std::snprintf(buffer, sizeof(buffer), "%.15G", value);
    std::string text = buffer;
    // No leading zero before the point, as in ".7" and "-.7".
    if (text.rfind("0.", 0) == 0) {
        text.erase(0, 1);
    } else if (text.rfind("-0.", 0) == 0) {
        text.erase(1, 1);
    }
    return Text(text.begin(), text.end());
}

Text CutToOneDecimal(TextView text)
{
    const std::size_t point = text.find(u'.');
    if (point == TextView::npos) {
        return Text(text);
    }
    return Text(text.substr(0, std::min(text.size(), point + 2)));
}

}  // namespace tessaly
