#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vorna {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

enum class Kind { Other, Section, Key };

struct LineInfo {
    Kind kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

LineInfo Classify(std::string_view raw) {
    const std::string_view t = Trim(raw);
    if (t.empty() || t.front() == ';') return {};
    if (t.front() == '[') {
        const auto close = t.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            return {Kind::Section, Trim(t.substr(1, close - 1)), {}};
        }
        // No closing bracket: Windows reads such a line as an ordinary line, so do we.
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return {};
    return {Kind::Key, Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// Length of the UTF-8 sequence starting at s[i]; a malformed byte counts as one character.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
    const auto lead = static_cast<unsigned char>(s[i]);
    std::size_t n = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
    }
    if (i + n > s.size()) return 1;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    }
    return n;
}

std::string CutChars(std::string_view s, std::size_t maxChars) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < s.size() && count < maxChars; ++count) {
        i += SequenceLength(s, i);
    }
    return std::string(s.substr(0, i));
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

std::string SystemError(int err) {
    return std::strerror(err);
}

std::string Quoted(const std::filesystem::path& p) {
    return "\"" + p.string() + "\"";
}

// What a file that is neither a folder nor a regular file is, for messages.
std::string NotRegularKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "of another type";
}

std::string WithArticle(std::string_view kind) {
    return (kind.empty() ? "a file" : "a " + std::string(kind));
}

class FdCloser {
public:
    explicit FdCloser(int fd) : fd_(fd) {}
    ~FdCloser() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;

private:
    int fd_;
};

}  // namespace

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

SmallFile ReadSmallFile(const std::filesystem::path& path, std::uintmax_t limit,
                        std::string_view kind) {
    SmallFile result;
    const auto refuse = [&](ReadFailure failure, std::string text) {
        result.failure = failure;
        result.error = std::move(text);
        result.text.clear();
        return result;
    };
    const auto systemRefusal = [&](int err) {
        return refuse(
            err == ENOENT || err == ENOTDIR ? ReadFailure::Missing : ReadFailure::Unreadable,
            "Cannot read " + Quoted(path) + ": " + SystemError(err));
    };
    const auto typeRefusal = [&](mode_t mode) {
        if (S_ISDIR(mode)) {
            return refuse(ReadFailure::Folder,
                          Quoted(path) + " is a folder, not " + WithArticle(kind));
        }
        return refuse(ReadFailure::NotRegular, Quoted(path) + " is not a regular file but " +
                                                   NotRegularKind(mode) +
                                                   ", so it is not read as " + WithArticle(kind));
    };
    const auto sizeRefusal = [&] {
        return refuse(ReadFailure::TooLarge, Quoted(path) + " is larger than " +
                                                 SizeLimitText(limit) + ", the most " +
                                                 WithArticle(kind) + " may be; it was not read");
    };

    // Looked at before opening: opening a FIFO would wait for a writer, and opening a device
    // can act on it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return systemRefusal(errno);
    if (!S_ISREG(st.st_mode)) return typeRefusal(st.st_mode);
    if (static_cast<std::uintmax_t>(st.st_size) > limit) return sizeRefusal();

    // Without blocking, in case it was replaced by something else since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return systemRefusal(errno);
    const FdCloser closer(fd);
    if (::fstat(fd, &st) != 0) return systemRefusal(errno);
    if (!S_ISREG(st.st_mode)) return typeRefusal(st.st_mode);

    char buffer[16384];
    while (result.text.size() <= limit) {
        const std::uintmax_t room = limit + 1 - result.text.size();
        const ssize_t n = ::read(
            fd, buffer, static_cast<std::size_t>(std::min<std::uintmax_t>(sizeof buffer, room)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return systemRefusal(errno);
        }
        if (n == 0) break;
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    if (result.text.size() > limit) return sizeRefusal();
    return result;
}

bool IniFile::EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

bool IniFile::StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool IniFile::Load(const std::filesystem::path& path, std::string* error, std::string_view kind) {
    lines_.clear();
    bom_ = false;
    crlf_ = false;
    const SmallFile file = ReadSmallFile(path, kMaxIniFileBytes, kind);
    if (file.failure != ReadFailure::None) {
        if (error) *error = file.error;
        return false;
    }
    Parse(file.text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    lines_.clear();
    bom_ = text.substr(0, 3) == "\xEF\xBB\xBF";
    if (bom_) text.remove_prefix(3);
    const auto firstLf = text.find('\n');
    crlf_ = firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r';
    while (!text.empty()) {
        const auto lf = text.find('\n');
        if (lf == std::string_view::npos) {
            lines_.emplace_back(text);
            break;
        }
        lines_.emplace_back(text.substr(0, lf));
        text.remove_prefix(lf + 1);
    }
}

IniFile::Value IniFile::Find(std::string_view section, std::string_view key,
                             std::size_t maxChars) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i]);
        if (info.kind == Kind::Section) {
            if (inSection) break;  // only the first section of that name is searched
            inSection = EqualNoCase(info.name, section);
        } else if (inSection && info.kind == Kind::Key && EqualNoCase(info.name, key)) {
            return {true, CutChars(Unquote(info.value), maxChars), static_cast<int>(i + 1)};
        }
    }
    return {};
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view fallback,
                         std::size_t maxChars) const {
    Value v = Find(section, key, maxChars);
    return v.found ? std::move(v.text) : CutChars(fallback, maxChars);
}

bool IniFile::HasSection(std::string_view section) const {
    for (const auto& line : lines_) {
        const LineInfo info = Classify(line);
        if (info.kind == Kind::Section && EqualNoCase(info.name, section)) return true;
    }
    return false;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    const std::string eol = crlf_ ? "\r" : "";

    std::size_t header = lines_.size();  // the first matching section's header line
    std::size_t lastFilled = 0;          // last non-blank line of that section
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i]);
        if (info.kind == Kind::Section) {
            if (header != lines_.size()) break;
            if (EqualNoCase(info.name, section)) header = lastFilled = i;
            continue;
        }
        if (header == lines_.size()) continue;
        if (info.kind == Kind::Key && EqualNoCase(info.name, key)) {
            const bool cr = !lines_[i].empty() && lines_[i].back() == '\r';
            lines_[i] = std::string(info.name) + "=" + clean + (cr ? "\r" : "");
            return;
        }
        if (!Trim(lines_[i]).empty()) lastFilled = i;
    }
    const std::string keyLine = std::string(key) + "=" + clean + eol;
    if (header != lines_.size()) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastFilled + 1), keyLine);
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.push_back(eol);
    lines_.push_back("[" + std::string(section) + "]" + eol);
    lines_.push_back(keyLine);
}

std::string IniFile::Text() const {
    std::string out = bom_ ? "\xEF\xBB\xBF" : "";
    for (const auto& line : lines_) {
        out += line;
        out += '\n';
    }
    return out;
}

bool IniFile::Save(const std::filesystem::path& path, std::string* error) const {
    return WriteFileReplacing(path, Text(), error);
}

std::string ReadProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key, std::string_view fallback, std::size_t maxChars,
                              int* line) {
    IniFile ini;
    ini.Load(path);  // a missing file is an empty one: the default comes back
    IniFile::Value v = ini.Find(section, key, maxChars);
    if (line) *line = v.line;
    return v.found ? std::move(v.text) : CutChars(fallback, maxChars);
}

bool WriteProfileString(const std::filesystem::path& path, std::string_view section,
                        std::string_view key, std::string_view value, std::string* error) {
    IniFile ini;
    std::string loadError;
    if (!ini.Load(path, &loadError)) {
        std::error_code ec;
        if (std::filesystem::exists(path, ec) || ec) {
            if (error) *error = loadError;
            return false;
        }
    }
    ini.Set(section, key, value);
    return ini.Save(path, error);
}

bool CheckFileName(const std::filesystem::path& path, std::string_view kind, std::string* error) {
    const auto refuse = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    const std::string& text = path.native();
    if (text.empty()) return refuse("No file name was given for " + WithArticle(kind));
    if (text.back() == '/') {
        return refuse(Quoted(path) + " ends in a folder separator, so it names a folder, not " +
                      WithArticle(kind));
    }
    const std::string name = path.filename().string();
    if (name == "." || name == "..") {
        return refuse(Quoted(path) + " names a folder, not " + WithArticle(kind));
    }
    return true;
}

bool CheckReplaceable(const std::filesystem::path& path, std::string_view kind,
                      std::string* error) {
    const auto refuse = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    if (!CheckFileName(path, kind, error)) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;  // a new file (or writing says why not)
    if (S_ISDIR(st.st_mode)) return refuse(Quoted(path) + " is a folder, not " + WithArticle(kind));
    if (!S_ISREG(st.st_mode)) {
        return refuse(Quoted(path) + " is not a regular file but " + NotRegularKind(st.st_mode) +
                      "; it was left alone");
    }
    // The mode bits first: they do not stop root, but a file nobody may write is kept as it is.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return refuse(Quoted(path) +
                      " is read-only; it was left as it is. Make it writable or choose another "
                      "name");
    }
    if (::access(path.c_str(), W_OK) != 0) {
        const int err = errno;
        return refuse("Cannot write " + Quoted(path) + ": " + SystemError(err) +
                      "; it was left as it is");
    }
    return true;
}

bool WriteFileReplacing(const std::filesystem::path& path, std::string_view content,
                        std::string* error, std::string_view kind) {
    namespace fs = std::filesystem;
    if (!CheckReplaceable(path, kind, error)) return false;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    const auto fail = [&](const std::string& what, int err) {
        if (error) *error = "Cannot write " + Quoted(path) + ": " + what + ": " + SystemError(err);
        return false;
    };
    if (target.filename().empty()) return fail("not a file name", EISDIR);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    struct stat old {};
    const bool keepMode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    static std::atomic<unsigned> counter{0};
    fs::path temp;
    int fd = -1;
    int err = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) +
                         "-" + std::to_string(counter++));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        err = errno;
        if (fd < 0 && err != EEXIST) break;
    }
    if (fd < 0) return fail("cannot create a temporary file in " + Quoted(folder), err);

    const auto abandon = [&](const std::string& what, int code) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return fail(what, code);
    };
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            err = errno;
            if (err == EINTR) continue;
            return abandon("writing " + Quoted(temp), err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (keepMode && ::fchmod(fd, old.st_mode & 07777) != 0) {
        err = errno;
        return abandon("setting the mode of " + Quoted(temp), err);
    }
    if (::fsync(fd) != 0) {
        err = errno;
        return abandon("flushing " + Quoted(temp), err);
    }
    const int closed = ::close(fd);
    err = errno;
    fd = -1;
    if (closed != 0) return abandon("closing " + Quoted(temp), err);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        return abandon("renaming " + Quoted(temp) + " over it", err);
    }
    // The rename itself is on disk only once the folder is: a crash now must not bring back
    // the old file (or none) after a save that said it was done. A folder this process may
    // write but not read cannot be opened for it; the rename stands then as the system keeps it.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        const int synced = ::fsync(folderFd);
        err = errno;
        ::close(folderFd);
        // EINVAL: a file system that has nothing to flush for folders.
        if (synced != 0 && err != EINVAL) return fail("flushing the folder " + Quoted(folder), err);
    }
    return true;
}

}  // namespace vorna
