#include "help_file_check.h"

#include "chm_system_file.h"
#include "help_text.h"

#include <algorithm>

namespace korvel::chm {

namespace {

class ProblemList {
public:
    void Add(std::string problem) { m_Problems.push_back(std::move(problem)); }
    std::vector<std::string> Take() { return std::move(m_Problems); }

private:
    std::vector<std::string> m_Problems;
};

// The entry's text, or nothing (and a problem) when it cannot be read.
std::optional<std::string> ReadText(const ChmArchive& archive, const std::string& name, ProblemList& problems)
{
    if (!archive.Find(name)) {
        problems.Add(name + " is missing");
        return std::nullopt;
    }
    auto bytes = archive.Contents(name);
    if (!bytes) {
        problems.Add(name + " cannot be read: " + bytes.Why());
        return std::nullopt;
    }
    if (bytes.Value().empty()) {
        problems.Add(name + " is empty");
        return std::nullopt;
    }
    auto text = Gb2312ToUtf8(bytes.Value());
    if (!text) {
        problems.Add(name + " is not GB2312 text: " + text.Why());
        return std::nullopt;
    }
    return text.Value();
}

void CheckSitemap(const ChmArchive& archive, const HelpFileLayout& layout, const std::string& sitemap,
                  bool mustListEveryPage, ProblemList& problems)
{
    const auto text = ReadText(archive, sitemap, problems);
    if (!text) {
        return;
    }
    const auto targets = SitemapValues(*text, "Local");
    if (targets.empty()) {
        problems.Add(sitemap + " lists nothing");
    }
    for (const std::string& target : targets) {
        if (!archive.Find(EntryOfLink(target))) {
            problems.Add(sitemap + " points at " + target + ", which is not in the help file");
        }
    }
    if (!mustListEveryPage) {
        return;
    }
    for (const std::string& page : layout.pages) {
        const bool listed = std::any_of(targets.begin(), targets.end(),
                                        [&](const std::string& target) { return EntryOfLink(target) == page; });
        if (!listed) {
            problems.Add(sitemap + " does not list " + page);
        }
    }
}

void CheckPage(const ChmArchive& archive, const std::string& page, ProblemList& problems)
{
    const auto text = ReadText(archive, page, problems);
    if (!text) {
        return;
    }
    // Without this the viewer would guess the code page, and guess wrong
    // on a Windows set to another language.
    if (text->find("charset=gb2312") == std::string::npos) {
        problems.Add(page + " does not declare charset=gb2312");
    }
    for (const char* attribute : {"href", "src"}) {
        for (const std::string& link : AttributeValues(*text, attribute)) {
            const std::string entry = EntryOfLink(link);
            if (!entry.empty() && !archive.Find(entry)) {
                problems.Add(page + " links to " + link + ", which is not in the help file");
            }
        }
    }
}

void CheckSystemFile(const ChmArchive& archive, const HelpFileLayout& layout, ProblemList& problems)
{
    auto bytes = archive.Contents("/#SYSTEM");
    if (!bytes) {
        problems.Add("/#SYSTEM cannot be read: " + bytes.Why());
        return;
    }
    auto records = ParseSystemFile(bytes.Value());
    if (!records) {
        problems.Add(records.Why());
        return;
    }
    const auto named = [&](SystemCode code, const std::string& entry, const char* what) {
        const auto text = SystemText(records.Value(), code);
        if (!text || "/" + *text != entry) {
            problems.Add(std::string("#SYSTEM names ") + (text ? *text : "no file") + " as the " + what + ", not " +
                         entry);
        } else if (!archive.Find(entry)) {
            problems.Add("#SYSTEM names " + *text + " as the " + what + ", which is not in the help file");
        }
    };
    named(SystemCode::ContentsFile, layout.contentsFile, "contents");
    named(SystemCode::IndexFile, layout.indexFile, "index");
    const auto topic = SystemText(records.Value(), SystemCode::DefaultTopic);
    if (!topic || !archive.Find("/" + *topic)) {
        problems.Add("the default topic " + topic.value_or("(none)") + " is not in the help file");
    }
}

}  // namespace

std::vector<std::string> HelpFileProblems(const ChmArchive& archive, const HelpFileLayout& layout)
{
    ProblemList problems;
    for (const std::string& file : layout.otherFiles) {
        const ChmEntry* entry = archive.Find(file);
        if (!entry) {
            problems.Add(file + " is missing");
        } else if (auto bytes = archive.Contents(file); !bytes || bytes.Value().empty()) {
            problems.Add(file + " is empty or cannot be read");
        }
    }
    for (const std::string& page : layout.pages) {
        CheckPage(archive, page, problems);
    }
    CheckSitemap(archive, layout, layout.contentsFile, true, problems);
    CheckSitemap(archive, layout, layout.indexFile, false, problems);
    CheckSystemFile(archive, layout, problems);
    return problems.Take();
}

}  // namespace korvel::chm
