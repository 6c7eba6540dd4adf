#include "platform/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string& LastError() {
    static std::string reason;
    return reason;
}

}  // namespace

const std::string& LastFileError() {
    return LastError();
}

void SetLastFileError(std::string reason) {
    LastError() = std::move(reason);
}

std::string ErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which need not be in the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string WithReason(const std::string& text, const std::string& reason) {
    if (reason.empty()) return text;
    // A text that ends a sentence is followed by the reason as the next one.
    if (!text.empty() && text.back() == ' ') return text + reason;
    if (!text.empty() && text.back() == '.') return text + " " + reason;
    return text + ": " + reason;
}

COpenedFile OpenRegularFile(const std::string& path) {
    COpenedFile opened;
    auto fail = [&opened](std::string reason) {
        opened.file.reset();
        opened.reason = std::move(reason);
        SetLastFileError(opened.reason);
        return std::move(opened);
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return fail(ErrorText(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(ErrorText(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : kNotARegularFile);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(ErrorText(error));
    }
    std::FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        const int error = errno;
        ::close(fd);
        return fail(ErrorText(error));
    }
    opened.file.reset(stream);
    opened.bytes = static_cast<uint64_t>(info.st_size);
    SetLastFileError({});
    return opened;
}
