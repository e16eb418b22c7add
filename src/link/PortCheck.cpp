#include "link/PortCheck.h"

#include <algorithm>
#include <charconv>

namespace vorna {

bool PortCheckSection::HasProblem() const {
    return std::any_of(findings.begin(), findings.end(),
                       [](const PortFinding& f) { return f.kind == FindingKind::Problem; });
}

std::string PortCheckText(const PortCheckResult& result) {
    std::string text;
    for (const PortCheckSection& section : result.sections) {
        text += section.title + ":\n";
        for (const PortFinding& f : section.findings) {
            const char* tag = f.kind == FindingKind::Ok     ? "  ok       "
                              : f.kind == FindingKind::Note ? "  note     "
                                                            : "  PROBLEM  ";
            text += tag + f.text + "\n";
            if (!f.advice.empty()) text += "           What to do: " + f.advice + "\n";
        }
    }
    return text + result.verdict + "\n";
}

bool ModeAllowsReadWrite(const PortUser& user, unsigned owner, unsigned group, unsigned mode) {
    if (user.uid == 0) return true;
    // The kernel takes the first class that fits: an owner without rights is not saved by the
    // group's, nor a group member by the others' bits.
    if (user.uid == owner) return (mode & 0600u) == 0600u;
    if (std::find(user.gids.begin(), user.gids.end(), group) != user.gids.end())
        return (mode & 0060u) == 0060u;
    return (mode & 0006u) == 0006u;
}

std::vector<GroupEntry> ParseGroupFile(std::string_view text) {
    std::vector<GroupEntry> groups;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        // name:password:gid:member,member
        std::vector<std::string_view> fields;
        for (std::size_t at = 0;;) {
            const auto colon = line.find(':', at);
            fields.push_back(line.substr(at, colon - at));
            if (colon == std::string_view::npos) break;
            at = colon + 1;
        }
        if (fields.size() < 4 || fields[0].empty()) continue;
        GroupEntry entry;
        entry.name = std::string(fields[0]);
        const auto [ptr, ec] =
            std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), entry.gid);
        if (ec != std::errc() || ptr != fields[2].data() + fields[2].size()) continue;
        for (std::string_view members = fields[3]; !members.empty();) {
            const auto comma = members.find(',');
            std::string_view member = members.substr(0, comma);
            while (!member.empty() && (member.back() == '\r' || member.back() == ' '))
                member.remove_suffix(1);
            if (!member.empty()) entry.members.emplace_back(member);
            members =
                comma == std::string_view::npos ? std::string_view() : members.substr(comma + 1);
        }
        groups.push_back(std::move(entry));
    }
    return groups;
}

}  // namespace vorna
