#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/file_open.h"

namespace {

constexpr int kMaxLinks = 40;  // as the system's own path lookup allows

std::string FolderPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

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
    const bool exists = ::stat(m_target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        Fail(EISDIR);
        return EISDIR;
    }
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(m_target.c_str(), W_OK) != 0)) {
        m_reason = ErrorText(EACCES) + " (the file is read-only)";
        m_failed = true;
        return EACCES;
    }

    std::vector<char> name(m_target.begin(), m_target.end());
    const char suffix[] = ".partXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating 0
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const int error = errno != 0 ? errno : EIO;
        Fail(error);
        return error;
    }
    // mkstemp makes the file private: give it the mode of the file it replaces, or the one
    // an ordinary new file would get.
    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<mode_t>(0666 & ~mask);
    }
    ::fchmod(fd, mode);
    m_temp.assign(name.data());
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        const int error = errno != 0 ? errno : EIO;
        ::close(fd);
        ::unlink(m_temp.c_str());
        m_temp.clear();
        Fail(error);
        return error;
    }
    return 0;
}

bool CSafeFileWriter::Write(const void* data, size_t bytes) {
    if (!m_file || m_failed) return false;
    errno = 0;
    if (bytes != 0 && std::fwrite(data, 1, bytes, m_file) != bytes) Fail(errno);
    return !m_failed;
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
    errno = 0;
    if (std::fclose(m_file) != 0) {
        ok = false;
        Fail(errno);
    }
    m_file = nullptr;
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        ok = false;
        Fail(errno);
    }
    if (!ok) ::unlink(m_temp.c_str());
    m_temp.clear();
    return ok;
}

void CSafeFileWriter::Abort() {
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}
