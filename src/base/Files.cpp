#include "base/Files.h"

#include "base/Utf8Path.h"

namespace vorna {

std::string SizeLimitText(std::uintmax_t limit) {
    const std::string bytes = std::to_string(limit) + " bytes";
    if (limit >= 1024 * 1024 && limit % (1024 * 1024) == 0) {
        return std::to_string(limit / (1024 * 1024)) + " MiB (" + bytes + ")";
    }
    if (limit >= 1024 && limit % 1024 == 0) {
        return std::to_string(limit / 1024) + " KiB (" + bytes + ")";
    }
    return bytes;
}

Result<std::string> ReadSmallFile(const std::filesystem::path& path, std::uintmax_t limit,
                                  std::string_view kind) {
    Result<std::string> read = ReadSmallFileBare(path, limit);
    if (read) return read;
    return Problem{read.Kind(), file_text::ReadRefusal(path, limit, kind, read.Error())};
}

Status CheckFileName(const std::filesystem::path& path, std::string_view kind) {
    const auto refuse = [](std::string text) {
        return Status(ProblemKind::BadName, std::move(text));
    };
    const std::string text = Utf8FromPath(path);
    if (text.empty()) return refuse("No file name was given for " + file_text::WithArticle(kind));
    // The separators the system takes: '/' everywhere, '\' on Windows too.
    const bool separatorLast =
        text.back() == '/' ||
        (text.back() == '\\' && std::filesystem::path::preferred_separator == L'\\');
    if (separatorLast) {
        return refuse(file_text::Quoted(path) +
                      " ends in a folder separator, so it names a folder, not " +
                      file_text::WithArticle(kind));
    }
    const std::string name = Utf8FromPath(path.filename());
    if (name == "." || name == "..") {
        return refuse(file_text::Quoted(path) + " names a folder, not " +
                      file_text::WithArticle(kind));
    }
    return {};
}

std::string WithLineEnds(std::string_view text, std::string_view end) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            out += end;
        } else {
            out += text[i];
        }
    }
    return out;
}

Status WriteTextFileReplacing(const std::filesystem::path& path, std::string_view text,
                              std::string_view kind) {
    return WriteFileReplacing(path, WithLineEnds(text, SystemLineEnd()), kind);
}

namespace file_text {

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + Utf8FromPath(path) + "\"";
}

std::string WithArticle(std::string_view kind) {
    return (kind.empty() ? "a file" : "a " + std::string(kind));
}

std::string IsAFolder(const std::filesystem::path& path, std::string_view kind) {
    return Quoted(path) + " is a folder, not " + WithArticle(kind);
}

std::string NotRead(const std::filesystem::path& path, std::string_view what,
                    std::string_view kind) {
    return Quoted(path) + " is not a regular file but " + std::string(what) +
           ", so it is not read as " + WithArticle(kind);
}

std::string LeftAlone(const std::filesystem::path& path, std::string_view what) {
    return Quoted(path) + " is not a regular file but " + std::string(what) + "; it was left alone";
}

std::string TooLarge(const std::filesystem::path& path, std::uintmax_t limit,
                     std::string_view kind) {
    return Quoted(path) + " is larger than " + SizeLimitText(limit) + ", the most " +
           WithArticle(kind) + " may be; it was not read";
}

std::string ReadOnly(const std::filesystem::path& path) {
    return Quoted(path) +
           " is read-only; it was left as it is. Make it writable or choose another name";
}

std::string ReadRefusal(const std::filesystem::path& path, std::uintmax_t limit,
                        std::string_view kind, const Problem& bare) {
    switch (bare.kind) {
        case ProblemKind::Folder:
            return IsAFolder(path, kind);
        case ProblemKind::NotRegular:
            return NotRead(path, bare.detail, kind);
        case ProblemKind::TooLarge:
            return TooLarge(path, limit, kind);
        default:
            return "Cannot read " + Quoted(path) + ": " + bare.detail;
    }
}

}  // namespace file_text

}  // namespace vorna
