// Checks of a compiled help file as a whole: everything it should hold is
// there, and nothing it holds points at something that is not.
#pragma once

#include "chm_archive.h"

#include <string>
#include <vector>

namespace korvel::chm {

struct HelpFileLayout {
    std::string contentsFile;              // "/tessaly.hhc"
    std::string indexFile;                 // "/tessaly.hhk"
    std::vector<std::string> pages;        // "/index.html", ...
    std::vector<std::string> otherFiles;   // the style sheet and the pictures
};

// One line for each problem found; none for a sound file.
std::vector<std::string> HelpFileProblems(const ChmArchive& archive, const HelpFileLayout& layout);

}  // namespace korvel::chm
