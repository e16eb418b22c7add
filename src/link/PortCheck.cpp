#include "link/PortCheck.h"

#include <algorithm>
#include <charconv>

#include "link/BridgeDiscovery.h"

namespace vorna {

bool PortCheckSection::HasProblem() const {
    return std::any_of(findings.begin(), findings.end(),
                       [](const PortFinding& f) { return f.kind == FindingKind::Problem; });
}

namespace {

// Characters, not bytes: a UTF-8 continuation byte takes no column of its own.
std::size_t Columns(std::string_view text) {
    std::size_t columns = 0;
    for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return columns;
}

// `first` followed by `text`, broken between words so that no line is wider than `width`
// columns (0: no limit); lines after the first start with `indent` spaces. A word longer than a
// line (a path) stands alone on its line, whole.
std::string Wrapped(const std::string& first, std::string_view text, std::size_t width,
                    std::size_t indent) {
    if (width == 0) return first + std::string(text) + "\n";
    std::string out = first;
    std::size_t column = Columns(first);
    bool lineHasWord = false;
    while (!text.empty()) {
        const std::size_t space = text.find(' ');
        const std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (word.empty()) continue;
        const std::size_t wordColumns = Columns(word);
        if (lineHasWord && width > 0 && column + 1 + wordColumns > width) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
            lineHasWord = false;
        }
        if (lineHasWord) {
            out += ' ';
            ++column;
        }
        out += word;
        column += wordColumns;
        lineHasWord = true;
    }
    return out + "\n";
}

}  // namespace

std::string PortCheckText(const PortCheckResult& result, int columns) {
    // A console moves to the next line by itself after its last column: a line as wide as the
    // window would be followed by an empty one.
    const std::size_t width = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    constexpr std::size_t kIndent = 11;
    std::string text;
    for (const PortCheckSection& section : result.sections) {
        text += Wrapped("", section.title + ":", width, 2);
        for (const PortFinding& f : section.findings) {
            const char* tag = f.kind == FindingKind::Ok     ? "  ok       "
                              : f.kind == FindingKind::Note ? "  note     "
                                                            : "  PROBLEM  ";
            text += Wrapped(tag, f.text, width, kIndent);
            if (!f.advice.empty()) {
                text +=
                    Wrapped(std::string(kIndent, ' ') + "What to do: ", f.advice, width, kIndent);
            }
        }
    }
    return text + Wrapped("", result.verdict, width, 2);
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

void GiveVerdict(PortCheckResult& result, std::size_t chosenSection, const std::string& shownPort) {
    const PortCheckSection& decisive = result.sections[chosenSection];
    result.ready = chosenSection != 0 && !decisive.HasProblem();
    if (result.ready) {
        result.verdict = "Ready: " + shownPort + " can be opened.";
        return;
    }
    std::string why = "no CP210x bridge found";
    for (const PortFinding& f : decisive.findings) {
        if (f.kind == FindingKind::Problem) {
            why = f.brief;
            break;
        }
    }
    result.verdict = "Not ready: " + why + ".";
}

std::string DescribeOpenFailure(const std::string& path, const Problem& problem, bool retrying) {
    const std::string shown = PortDisplayName(path);
    switch (problem.kind) {
        case ProblemKind::NoPermission: {
            const GroupAdvice advice = AdviseOnPermission(path);
            if (advice.memberButNotActive) {
                return "Cannot open " + shown + ": permission denied. You are in the '" +
                       advice.group +
                       "' group, but this login started before you joined it: log out and in "
                       "again (or run 'newgrp " +
                       advice.group + "').";
            }
            return "Cannot open " + shown + ": permission denied. Add your user to the '" +
                   advice.group + "' group (sudo usermod -aG " + advice.group +
                   " $USER) and log out and in again, or install the udev rule from the README.";
        }
        case ProblemKind::PortBusy:
            return "Cannot open " + shown + ": the port is in use by " +
                   (problem.detail.empty() ? std::string("another program") : problem.detail) +
                   (retrying ? ". Close that program; the link retries by itself."
                             : ". Close that program and try again.");
        case ProblemKind::Missing:
            return "Cannot open " + shown + ": the " + PortNodeNoun() + " has gone (" +
                   problem.detail + ").";
        case ProblemKind::NotAPort:
            return "Cannot open " + shown + ": it is not a serial port.";
        default:
            break;
    }
    return "Cannot open " + shown + ": " + problem.detail + ".";
}

std::string DescribeConfigureFailure(const std::string& path, std::uint32_t baudRate,
                                     const Problem& problem) {
    return "Cannot set " + path + " to " + std::to_string(baudRate) + " baud: " + problem.detail +
           ". It is used as the driver has set it meanwhile; the link keeps trying.";
}

}  // namespace vorna
