#include "platform/safe_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

CSafeFileWriter::~CSafeFileWriter() {
    Abort();
}

int CSafeFileWriter::Open(const std::string& path) {
    Abort();
    m_target = path;
    m_failed = false;
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".partXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminating 0
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return errno != 0 ? errno : EIO;
    // mkstemp makes the file private; give it the mode an ordinary new file would get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, static_cast<mode_t>(0666 & ~mask));
    m_temp.assign(name.data());
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        const int error = errno;
        ::close(fd);
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return error != 0 ? error : EIO;
    }
    return 0;
}

bool CSafeFileWriter::Write(const void* data, size_t bytes) {
    if (!m_file || m_failed) return false;
    if (bytes != 0 && std::fwrite(data, 1, bytes, m_file) != bytes) m_failed = true;
    return !m_failed;
}

bool CSafeFileWriter::Commit() {
    if (!m_file) return false;
    bool ok = !m_failed;
    if (std::fflush(m_file) != 0) ok = false;
    if (std::fclose(m_file) != 0) ok = false;
    m_file = nullptr;
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) != 0) ok = false;
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
