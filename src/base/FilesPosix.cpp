// Small files and their replacement on Linux: stat before open, O_NONBLOCK against a FIFO that
// turns up late, and fsync of the file and its folder around the rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "base/Files.h"
#include "base/PosixHandles.h"
#include "base/Utf8Path.h"

namespace vorna {
namespace {

using file_text::Quoted;

std::string SystemError(int err) {
    return std::strerror(err);
}

// What a file that is neither a folder nor a regular file is, for messages.
std::string NotRegularKind(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "of another type";
}

// Where a path leads once every symbolic link on it is followed, and the first link on the way
// that must not be followed: in a sticky folder anyone may write to (/tmp), a link owned
// neither by this user nor by the folder's owner. Such a link may have been put there for this
// program to write over a file of the user's own elsewhere. The kernel refuses to follow it
// only where its protected_symlinks switch is on, which many systems leave off, and never for
// the rename that replaces the file the link names: the rule is kept here.
struct LinkWalk {
    std::filesystem::path target;  // the path with every link on it followed
    bool exists = false;           // target names something
    std::string refusal;           // not empty: why the path must not be followed
};

LinkWalk WalkLinks(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    LinkWalk walk;
    const fs::path relative = path.relative_path();
    std::vector<fs::path> pending(relative.begin(), relative.end());
    std::reverse(pending.begin(), pending.end());  // taken from the back
    fs::path done = path.root_path();              // empty: the current folder
    int links = 0;
    struct stat st {};
    while (!pending.empty()) {
        const fs::path part = pending.back();
        pending.pop_back();
        if (part.empty() || part == ".") continue;
        if (part == ".." && !done.empty() && done != done.root_path() && done.filename() != "..") {
            done = done.parent_path();  // done holds no links, so its parent is the real one
            continue;
        }
        const fs::path next = done / part;
        if (::lstat(next.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            done = next;
            continue;
        }
        const fs::path folder = done.empty() ? fs::path(".") : done;
        struct stat shared {};
        if (::stat(folder.c_str(), &shared) == 0 && (shared.st_mode & S_ISVTX) != 0 &&
            (shared.st_mode & S_IWOTH) != 0 && st.st_uid != ::geteuid() &&
            st.st_uid != shared.st_uid) {
            walk.refusal = "the symbolic link " + Quoted(next) +
                           " belongs to another user and lies in a folder anyone may write to (" +
                           Quoted(folder) + "), so it was not followed and nothing was written";
            return walk;
        }
        std::error_code ec;
        const fs::path to = fs::read_symlink(next, ec);
        if (ec || ++links > 40) {
            walk.refusal = SystemError(ec ? ec.value() : ELOOP);
            return walk;
        }
        if (to.is_absolute()) done = to.root_path();
        const fs::path rest = to.relative_path();
        for (auto it = rest.end(); it != rest.begin();) pending.push_back(*--it);
    }
    walk.target = done;
    walk.exists = ::stat(done.c_str(), &st) == 0;
    return walk;
}

}  // namespace

Result<std::string> ReadSmallFileBare(const std::filesystem::path& path, std::uintmax_t limit) {
    using Read = Result<std::string>;
    const auto systemRefusal = [](int err) {
        return Read(
            err == ENOENT || err == ENOTDIR ? ProblemKind::Missing : ProblemKind::Unreadable,
            SystemError(err));
    };
    const auto typeRefusal = [](mode_t mode) {
        if (S_ISDIR(mode)) return Read(ProblemKind::Folder, {});
        return Read(ProblemKind::NotRegular, NotRegularKind(mode));
    };
    const auto sizeRefusal = [] { return Read(ProblemKind::TooLarge, {}); };

    // Looked at before opening: opening a FIFO would wait for a writer, and opening a device
    // can act on it.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return systemRefusal(errno);
    if (!S_ISREG(st.st_mode)) return typeRefusal(st.st_mode);
    if (static_cast<std::uintmax_t>(st.st_size) > limit) return sizeRefusal();

    // Without blocking, in case it was replaced by something else since.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    const int fd = file.Get();
    if (fd < 0) return systemRefusal(errno);
    if (::fstat(fd, &st) != 0) return systemRefusal(errno);
    if (!S_ISREG(st.st_mode)) return typeRefusal(st.st_mode);

    std::string text;
    char buffer[16384];
    while (text.size() <= limit) {
        const std::uintmax_t room = limit + 1 - text.size();
        const ssize_t n = ::read(
            fd, buffer, static_cast<std::size_t>(std::min<std::uintmax_t>(sizeof buffer, room)));
        if (n < 0) {
            if (errno == EINTR) continue;
            return systemRefusal(errno);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (text.size() > limit) return sizeRefusal();
    return text;
}

Status CheckReplaceable(const std::filesystem::path& path, std::string_view kind) {
    if (Status named = CheckFileName(path, kind); !named) return named;
    if (const LinkWalk walk = WalkLinks(path); !walk.refusal.empty()) {
        return {ProblemKind::Unwritable, "Cannot write " + Quoted(path) + ": " + walk.refusal};
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};  // a new file (or writing says why not)
    if (S_ISDIR(st.st_mode)) return {ProblemKind::Folder, file_text::IsAFolder(path, kind)};
    if (!S_ISREG(st.st_mode)) {
        return {ProblemKind::NotRegular, file_text::LeftAlone(path, NotRegularKind(st.st_mode))};
    }
    // The mode bits first: they do not stop root, but a file nobody may write is kept as it is.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return {ProblemKind::ReadOnly, file_text::ReadOnly(path)};
    }
    if (::access(path.c_str(), W_OK) != 0) {
        const int err = errno;
        return {ProblemKind::Unwritable, "Cannot write " + Quoted(path) + ": " + SystemError(err) +
                                             "; it was left as it is"};
    }
    return {};
}

Status WriteFileReplacing(const std::filesystem::path& path, std::string_view content,
                          std::string_view kind) {
    namespace fs = std::filesystem;
    if (Status replaceable = CheckReplaceable(path, kind); !replaceable) return replaceable;
    std::error_code ec;
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        // Walked again: the link may have changed since it was checked.
        const LinkWalk walk = WalkLinks(path);
        if (!walk.refusal.empty()) {
            return {ProblemKind::Unwritable, "Cannot write " + Quoted(path) + ": " + walk.refusal};
        }
        if (walk.exists) target = walk.target;
    }
    const auto fail = [&](const std::string& what, int err) {
        return Status(ProblemKind::Unwritable,
                      "Cannot write " + Quoted(path) + ": " + what + ": " + SystemError(err));
    };
    if (target.filename().empty()) return fail("not a file name", EISDIR);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    struct stat old {};
    const bool keepMode = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    static std::atomic<unsigned> counter{0};
    fs::path temp;
    UniqueFd fd;
    int err = 0;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = folder / ("." + target.filename().native() + ".tmp-" + std::to_string(::getpid()) +
                         "-" + std::to_string(counter++));
        fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        err = errno;
        if (!fd && err != EEXIST) break;
    }
    if (!fd) return fail("cannot create a temporary file in " + Quoted(folder), err);

    const auto abandon = [&](const std::string& what, int code) {
        fd.Reset();
        ::unlink(temp.c_str());
        return fail(what, code);
    };
    const char* p = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.Get(), p, left);
        if (n < 0) {
            err = errno;
            if (err == EINTR) continue;
            return abandon("writing " + Quoted(temp), err);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (keepMode && ::fchmod(fd.Get(), old.st_mode & 07777) != 0) {
        err = errno;
        return abandon("setting the mode of " + Quoted(temp), err);
    }
    if (::fsync(fd.Get()) != 0) {
        err = errno;
        return abandon("flushing " + Quoted(temp), err);
    }
    // Closed by hand, not by the holder: a failed close can mean the data never reached the
    // disk, and the save must then say so.
    const int closed = ::close(fd.Release());
    err = errno;
    if (closed != 0) return abandon("closing " + Quoted(temp), err);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        err = errno;
        return abandon("renaming " + Quoted(temp) + " over it", err);
    }
    // The rename itself is on disk only once the folder is: a crash now must not bring back
    // the old file (or none) after a save that said it was done. A folder this process may
    // write but not read cannot be opened for it; the rename stands then as the system keeps
    // it.
    if (const UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        folderFd) {
        const int synced = ::fsync(folderFd.Get());
        err = errno;
        // EINVAL: a file system that has nothing to flush for folders.
        if (synced != 0 && err != EINVAL) return fail("flushing the folder " + Quoted(folder), err);
    }
    return {};
}

std::string_view SystemLineEnd() {
    return "\n";
}

void LetOversizeWritesFail() {
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace vorna
