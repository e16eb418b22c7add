// Who holds a busy port on Linux: the holder of a lock on the node (/proc/locks, UUCP lock
// files) and every process with a descriptor open on it (/proc/PID/fd), the device end of a
// simulated link's pseudo-terminal excepted.
#include "link/PortHolder.h"

#include "base/Text.h"
#include "base/UniqueHandle.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace vorna {
namespace {

void CloseDir(DIR* dir) {
    closedir(dir);
}
using UniqueDir = UniqueHandle<DIR*, 0, &CloseDir>;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "name (pid N)" from <procRoot>/N/comm; "a program (pid N)" when the name cannot be read.
std::string NameProcess(const std::string& procRoot, long pid) {
    const std::string name = FirstLineOf(procRoot + "/" + std::to_string(pid) + "/comm");
    return (name.empty() ? std::string("a program") : name) + " (pid " + std::to_string(pid) + ")";
}

// Whether process `pid` has a descriptor open on the character device `rdev`: 1 yes, 0 no, -1
// cannot tell (its descriptors are another user's to see, or the process has ended).
int HasDescriptorOn(const std::string& procRoot, long pid, dev_t rdev) {
    const std::string fdDir = procRoot + "/" + std::to_string(pid) + "/fd";
    const UniqueDir fds(opendir(fdDir.c_str()));
    if (!fds) return -1;
    int found = 0;
    while (dirent* fd = readdir(fds.Get())) {
        if (fd->d_name[0] == '.') continue;
        struct stat st {};
        if (stat((fdDir + "/" + fd->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == rdev) {
            found = 1;
            break;
        }
    }
    return found;
}

// A lock names its holder when that is another live process that, as far as can be seen, still
// has the port open: not a pid reused since, nor a parent that handed the port to a child.
bool HoldsPort(const std::string& procRoot, long pid, const struct stat& node) {
    if (pid <= 0 || pid == static_cast<long>(getpid())) return false;
    if (!IsDirectory(procRoot + "/" + std::to_string(pid))) return false;
    return !S_ISCHR(node.st_mode) || HasDescriptorOn(procRoot, pid, node.st_rdev) != 0;
}

// The process holding a lock (flock or fcntl) on the node, from <procRoot>/locks:
// "1: FLOCK  ADVISORY  WRITE 1234 00:05:1234 0 EOF". Waiters ("1: -> FLOCK ...") hold nothing;
// a pid of 0 or -1 is a holder outside this pid namespace or an open-file lock.
long LockHolderPid(const std::string& procRoot, const struct stat& node) {
    std::ifstream locks(procRoot + "/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string id, kind, mode, access, owner, where;
        if (!(fields >> id >> kind) || kind == "->") continue;
        if (!(fields >> mode >> access >> owner >> where)) continue;
        unsigned major = 0, minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &major, &minor, &inode) != 3) continue;
        if (makedev(major, minor) != node.st_dev || inode != node.st_ino) continue;
        char* end = nullptr;
        const long pid = std::strtol(owner.c_str(), &end, 10);
        if (*end == '\0' && HoldsPort(procRoot, pid, node)) return pid;
    }
    return 0;
}

// The live owner named by a UUCP lock file (LCK..ttyUSB0: the pid in ASCII, or as a binary int
// by old programs); stale files of ended programs name nobody.
long LockFilePid(const HolderSearch& where, const std::vector<std::string>& names,
                 const struct stat& node) {
    for (const std::string& dir : where.lockDirs) {
        for (const std::string& name : names) {
            std::ifstream in(dir + "/LCK.." + name, std::ios::binary);
            if (!in) continue;
            std::string text((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
            long pid = 0;
            const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) || c == ' ' || c == '\n';
            });
            if (text.size() == sizeof(int) && !ascii) {
                int binary = 0;
                std::memcpy(&binary, text.data(), sizeof binary);
                pid = binary;
            } else {
                pid = std::strtol(text.c_str(), nullptr, 10);
            }
            if (HoldsPort(where.procRoot, pid, node)) return pid;
        }
    }
    return 0;
}

// Whether process `pid` holds the master side of the pseudo-terminal whose slave is `rdev`: it
// is then the device at the other end (a simulated ESC keeps its slave open too), not a
// program competing for the port. The kernel names a master's terminal in its fdinfo.
bool HoldsPtyMaster(const std::string& procRoot, long pid, dev_t rdev) {
    // Slaves of the pseudo-terminal multiplexer: majors 136 to 143, 256 terminals each.
    const unsigned slaveMajor = major(rdev);
    if (slaveMajor < 136 || slaveMajor > 143) return false;
    const unsigned index = (slaveMajor - 136) * 256 + minor(rdev);
    const std::string base = procRoot + "/" + std::to_string(pid);
    const UniqueDir fds(opendir((base + "/fd").c_str()));
    if (!fds) return false;
    bool found = false;
    while (dirent* fd = readdir(fds.Get())) {
        if (fd->d_name[0] == '.') continue;
        struct stat st {};
        if (stat((base + "/fd/" + fd->d_name).c_str(), &st) != 0 || !S_ISCHR(st.st_mode) ||
            major(st.st_rdev) != 5 || minor(st.st_rdev) != 2)
            continue;  // not /dev/ptmx
        std::ifstream info(base + "/fdinfo/" + fd->d_name);
        for (std::string line; std::getline(info, line);) {
            unsigned ttyIndex = 0;
            if (std::sscanf(line.c_str(), "tty-index: %u", &ttyIndex) == 1 && ttyIndex == index)
                found = true;
        }
        if (found) break;
    }
    return found;
}

// Every other process with a descriptor open on the character device `rdev`, in pid order.
std::vector<long> DescriptorHolders(const std::string& procRoot, dev_t rdev) {
    std::vector<long> holders;
    const UniqueDir proc(opendir(procRoot.c_str()));
    if (!proc) return holders;
    const long self = static_cast<long>(getpid());
    while (dirent* entry = readdir(proc.Get())) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == self) continue;
        if (HasDescriptorOn(procRoot, pid, rdev) == 1 && !HoldsPtyMaster(procRoot, pid, rdev))
            holders.push_back(pid);
    }
    std::sort(holders.begin(), holders.end());
    return holders;
}

}  // namespace

PortHolders FindPortHolders(const std::string& path, const HolderSearch& where) {
    PortHolders found;
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) return found;
    long lockPid = LockHolderPid(where.procRoot, node);
    if (lockPid == 0) {
        std::vector<std::string> names{std::filesystem::path(path).filename().string()};
        std::error_code ec;
        const std::string real = std::filesystem::canonical(path, ec).filename().string();
        if (!ec && real != names.front()) names.push_back(real);
        lockPid = LockFilePid(where, names, node);
    }
    if (lockPid != 0) found.lockHolder = NameProcess(where.procRoot, lockPid);
    if (!S_ISCHR(node.st_mode)) return found;
    for (const long pid : DescriptorHolders(where.procRoot, node.st_rdev)) {
        if (pid != lockPid) found.openedBy.push_back(NameProcess(where.procRoot, pid));
    }
    return found;
}

std::string FindPortHolder(const std::string& path, const HolderSearch& where) {
    // A lock says who took the port; a descriptor alone may be a bystander's.
    PortHolders holders = FindPortHolders(path, where);
    if (!holders.lockHolder.empty()) return holders.lockHolder;
    std::string found;
    for (const std::string& holder : holders.openedBy) {
        found += (found.empty() ? "" : " and ") + holder;
    }
    return found;
}

}  // namespace vorna
