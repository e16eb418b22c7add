#include "settings/Backups.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "base/Files.h"
#include "base/Utf8Path.h"
#include "settings/IniFile.h"

namespace vorna {
namespace {

constexpr std::string_view kReasonLead = "; reason: ";
// A backup's name: "2026-12-07_23-10-05_model-16.cfg", or "..._model-16_2.cfg" when the first
// was taken.
constexpr std::size_t kStampLength = 19;
constexpr std::string_view kModelLead = "_model-";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "2026-12-07 23:10:05" from the name's stamp, or empty when it has none.
std::string StampOf(std::string_view name) {
    if (name.size() < kStampLength) return {};
    constexpr std::string_view kShape = "dddd-dd-dd_dd-dd-dd";
    for (std::size_t i = 0; i < kShape.size(); ++i) {
        if (kShape[i] == 'd' ? !IsDigit(name[i]) : name[i] != kShape[i]) return {};
    }
    std::string made(name.substr(0, kStampLength));
    made[10] = ' ';
    made[13] = ':';
    made[16] = ':';
    return made;
}

}  // namespace

int ModelTypeInName(std::string_view name) {
    const std::size_t at = name.find(kModelLead);
    if (at == std::string_view::npos) return -1;
    const char* first = name.data() + at + kModelLead.size();
    const char* last = name.data() + name.size();
    int type = -1;
    const auto [end, ec] = std::from_chars(first, last, type);
    if (ec != std::errc() || end == first || type < 0 || type > 99) return -1;
    return type;
}

std::string_view BackupReasonWords(BackupReason reason) {
    for (const BackupReasonRow& row : kBackupReasons) {
        if (row.reason == reason) return row.words;
    }
    return kReasonNotRecorded;
}

std::string BackupHeader(BackupReason reason) {
    return std::string(kReasonLead) + std::string(BackupReasonWords(reason)) + "\n";
}

std::optional<BackupReason> ReadBackupReason(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (!line.empty() && line.front() == '[') break;
        if (line.substr(0, kReasonLead.size()) != kReasonLead) continue;
        const std::string_view words = line.substr(kReasonLead.size());
        for (const BackupReasonRow& row : kBackupReasons) {
            if (row.words == words) return row.reason;
        }
    }
    return std::nullopt;
}

std::string BackupEntry::ReasonText() const {
    return std::string(reason ? BackupReasonWords(*reason) : kReasonNotRecorded);
}

std::vector<BackupEntry> ListBackups(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    std::vector<BackupEntry> backups;
    if (folder.empty()) return backups;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return backups;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = Utf8FromPath(it->path().filename());
        constexpr std::string_view kExt = ".cfg";
        if (name.size() <= kExt.size() ||
            !IniFile::EqualNoCase(std::string_view(name).substr(name.size() - kExt.size()), kExt))
            continue;
        BackupEntry entry;
        entry.path = it->path();
        entry.made = StampOf(name);
        entry.modelType = ModelTypeInName(name);
        const Result<std::string> file =
            ReadSmallFile(entry.path, kMaxIniFileBytes, "settings file");
        if (file) entry.reason = ReadBackupReason(*file);
        backups.push_back(std::move(entry));
    }
    std::sort(backups.begin(), backups.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.made.empty() != b.made.empty()) return b.made.empty();
        if (a.made != b.made) return a.made > b.made;
        return a.path.filename() > b.path.filename();
    });
    return backups;
}

}  // namespace vorna
