#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CFilePtr = std::unique_ptr<std::FILE, CFileCloser>;

// An existing regular file opened for reading, or the reason it could not be.
struct COpenedFile {
    CFilePtr file;
    uint64_t bytes = 0;  // the length of the file when it was opened
    std::string reason;  // empty on success, else what went wrong in words

    explicit operator bool() const { return static_cast<bool>(file); }
    std::FILE* Stream() const { return file.get(); }
};

// The reason given for a file that exists but is not a regular file (a folder, a named
// pipe, a device).
inline constexpr const char* kNotARegularFile = "not a regular file";

// Opens a file for reading, the one way every reader opens its file: without blocking, so
// that a named pipe or a device cannot hang the program, and only when it is a regular
// file (a folder, pipe or device is refused). Blocking is switched back on for the reads.
// On failure the reason (the system's text for the error, or kNotARegularFile) is given
// and is also kept as the last file error.
COpenedFile OpenRegularFile(const std::string& path);

// The reason of the last failure that a reader recorded (opening, reading); empty when the
// last reader that records reasons succeeded.
const std::string& LastFileError();
void SetLastFileError(std::string reason);

// The system's text for an errno value ("No such file or directory").
std::string ErrorText(int error);

// text followed by the reason: after ": ", or after a blank when the text ends a sentence
// ("... failed to process. File too large"); text alone when there is no reason.
std::string WithReason(const std::string& text, const std::string& reason);
