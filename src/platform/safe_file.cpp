#include "platform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "platform/file_open.h"

namespace {

constexpr int kMaxLinks = 40;  // as the system's own path lookup allows
constexpr char kPartMark[] = ".part";
constexpr size_t kPartLetters = 6;  // as mkstemp's XXXXXX
constexpr int kNameAttempts = 100;

std::atomic<bool> g_useUnnamed{true};

std::string FolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsPartLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// A temporary name of the target: its name, ".part" and six letters or digits.
std::string RandomPartName(const std::string& target) {
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> counter{0};
    uint64_t state =
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<uint64_t>(::getpid()) << 32) ^ (counter.fetch_add(1) * 0x9E37u);
    std::string name = target + kPartMark;
    for (size_t i = 0; i < kPartLetters; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;  // one step of an LCG
        name += letters[(state >> 33) % (sizeof letters - 1)];
    }
    return name;
}

// True when the open file and the name are still one file (nobody removed or replaced it).
bool StillNamed(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Removes the temporaries of the target that no writer holds: a writer keeps its temporary
// locked for as long as it lives, and the lock goes with the process, however it ends.
// Other files of the folder, and temporaries of other targets, are left alone.
void SweepStaleParts(const std::string& target) {
    const std::string folder = FolderPart(target);
    const std::string prefix = NamePart(target) + kPartMark;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kPartLetters ||
            name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool letters = true;
        for (size_t i = prefix.size(); i < name.size(); ++i)
            letters = letters && IsPartLetter(name[i]);
        if (letters) stale.push_back(folder + name);
    }
    ::closedir(dir);
    for (const std::string& path : stale) {
        const int fd =
            ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) continue;
        struct stat info {};
        // Held by a live writer: the lock is refused. Removed only while this lock is held
        // and the name is still the file locked.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, path))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// The mode of a new file: that of the file it replaces, or what an ordinary new file gets.
mode_t NewFileMode(bool exists, const struct stat& existing) {
    if (exists) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

void CSafeFileWriter::UseUnnamedTemporaries(bool use) {
    g_useUnnamed = use;
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        std::vector<char> buffer(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
        const ssize_t got = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (got < 0) return current;
        if (static_cast<size_t>(got) >= buffer.size()) continue;  // grew meanwhile: again
        const std::string link(buffer.data(), static_cast<size_t>(got));
        current = !link.empty() && link[0] == '/' ? link : FolderPart(current) + link;
    }
    return {};
}

CSafeFileWriter::~CSafeFileWriter() {
    Abort();
}

void CSafeFileWriter::Fail(int error) {
    m_failed = true;
    if (m_reason.empty()) m_reason = ErrorText(error != 0 ? error : EIO);
}

int CSafeFileWriter::Open(const std::string& path) {
    Abort();
    m_failed = false;
    m_reason.clear();
    m_target = FollowLinks(path);
    if (m_target.empty()) {
        Fail(ELOOP);
        return ELOOP;
    }
    // An existing file is replaced only when it may be written: the rename itself would
    // need only the folder's permission.
    struct stat existing {};
    m_existed = ::stat(m_target.c_str(), &existing) == 0;
    if (m_existed && S_ISDIR(existing.st_mode)) {
        Fail(EISDIR);
        return EISDIR;
    }
    if (m_existed && ((existing.st_mode & 0222) == 0 || ::access(m_target.c_str(), W_OK) != 0)) {
        m_reason = ErrorText(EACCES) + " (the file is read-only)";
        m_failed = true;
        return EACCES;
    }
    SweepStaleParts(m_target);

    const mode_t mode = NewFileMode(m_existed, existing);
    if (g_useUnnamed && OpenUnnamed(mode) == 0) return 0;
    const int error = OpenNamed(mode);
    if (error != 0) Fail(error);
    return error;
}

// An unnamed file in the target's folder, locked, with its mode. 0, or an errno (the
// caller then names its temporary instead).
int CSafeFileWriter::OpenUnnamed(mode_t mode) {
    const std::string folder = FolderPart(m_target);
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) return errno != 0 ? errno : EIO;
    // Linking it in later goes through /proc; without it the file could not get its name.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::access(self.c_str(), F_OK) != 0 || ::flock(fd, LOCK_EX) != 0 || ::fchmod(fd, mode) != 0) {
        ::close(fd);
        return ENOTSUP;
    }
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        const int error = errno != 0 ? errno : EIO;
        ::close(fd);
        return error;
    }
    m_unnamed = true;
    return 0;
}

// The temporary under its name beside the target, locked. A sweep of another writer may
// remove a name between its making and its locking: then another name is taken.
int CSafeFileWriter::OpenNamed(mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = m_target + kPartMark + std::string(kPartLetters, 'X');
        const int fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0) return errno != 0 ? errno : EIO;
        if (::flock(fd, LOCK_EX) != 0 || !StillNamed(fd, name)) {
            if (StillNamed(fd, name)) ::unlink(name.c_str());
            ::close(fd);
            continue;
        }
        // mkstemp makes the file private: give it the mode it is to have.
        ::fchmod(fd, mode);
        m_file = ::fdopen(fd, "wb");
        if (!m_file) {
            const int error = errno != 0 ? errno : EIO;
            ::unlink(name.c_str());
            ::close(fd);
            return error;
        }
        m_temp = name;
        m_unnamed = false;
        return 0;
    }
    return EEXIST;
}

bool CSafeFileWriter::Write(const void* data, size_t bytes) {
    if (!m_file || m_failed) return false;
    errno = 0;
    if (bytes != 0 && std::fwrite(data, 1, bytes, m_file) != bytes) Fail(errno);
    return !m_failed;
}

// Gives the unnamed file its name: the target's when there was none, else a temporary
// name (locked, as the file is) that Commit renames over the target.
bool CSafeFileWriter::LinkUnnamed(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (!m_existed) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, m_target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST) {
            Fail(errno);
            return false;
        }
        // Someone made the target meanwhile: it is replaced, as a rename would.
    }
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string name = RandomPartName(m_target);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            m_temp = name;
            return true;
        }
        if (errno != EEXIST) {
            Fail(errno);
            return false;
        }
    }
    Fail(EEXIST);
    return false;
}

bool CSafeFileWriter::Commit() {
    if (!m_file) {
        if (m_reason.empty()) m_reason = ErrorText(EBADF);
        return false;
    }
    bool ok = !m_failed;
    errno = 0;
    if (std::ferror(m_file)) {
        ok = false;
        Fail(errno);
    }
    errno = 0;
    if (std::fflush(m_file) != 0) {
        ok = false;
        Fail(errno);
    }
    // A second descriptor keeps the lock (and the unnamed file) after the stream is closed,
    // until the file has its place.
    const int held = ::fcntl(::fileno(m_file), F_DUPFD_CLOEXEC, 0);
    if (held < 0) {
        ok = false;
        Fail(errno);
    }
    errno = 0;
    if (std::fclose(m_file) != 0) {
        ok = false;
        Fail(errno);
    }
    m_file = nullptr;
    if (ok && m_unnamed) ok = LinkUnnamed(held);
    if (ok && !m_temp.empty() && std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        ok = false;
        Fail(errno);
    }
    if (!ok && !m_temp.empty()) ::unlink(m_temp.c_str());
    if (held >= 0) ::close(held);
    m_temp.clear();
    m_unnamed = false;
    return ok;
}

void CSafeFileWriter::Abort() {
    if (m_file) {
        std::fclose(m_file);  // an unnamed file goes with its last descriptor
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    m_unnamed = false;
}
