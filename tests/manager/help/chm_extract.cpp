// chm_extract FILE.chm FOLDER: writes every file of a compiled help file
// into FOLDER, through the same reader the tests use, so that a page can be
// looked at (rendered by a browser) exactly as the help file holds it.
#include "chm_archive.h"

#include <filesystem>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: chm_extract FILE.chm FOLDER\n";
        return 2;
    }
    auto archive = korvel::chm::ChmArchive::Load(argv[1]);
    if (!archive) {
        std::cerr << argv[1] << ": " << archive.Why() << "\n";
        return 1;
    }
    const std::filesystem::path folder = argv[2];
    int written = 0;
    for (const korvel::chm::ChmEntry& entry : archive.Value().Entries()) {
        // Only the help's own files: the "::DataSpace" storage is the
        // container's, and folders have no contents.
        if (entry.name.empty() || entry.name[0] != '/' || entry.name.back() == '/') {
            continue;
        }
        auto contents = archive.Value().Contents(entry.name);
        if (!contents) {
            std::cerr << entry.name << ": " << contents.Why() << "\n";
            return 1;
        }
        const std::filesystem::path target = folder / entry.name.substr(1);
        std::filesystem::create_directories(target.parent_path());
        std::ofstream(target, std::ios::binary)
            .write(reinterpret_cast<const char*>(contents.Value().data()),
                   static_cast<std::streamsize>(contents.Value().size()));
        ++written;
    }
    std::cout << written << " files written to " << folder.string() << "\n";
    return 0;
}
