#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Writes a file beside its target under a temporary name and renames it over the
// target only when everything was written, so a failed write never destroys the file
// that was there. A writer that is destroyed without Commit() removes its temporary.
class CSafeFileWriter {
public:
    CSafeFileWriter() = default;
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Creates the temporary file; 0 on success, else the errno of the failure.
    int Open(const std::string& path);
    bool IsOpen() const { return m_file != nullptr; }

    // Buffered write; false once anything has failed.
    bool Write(const void* data, size_t bytes);

    // Flushes, closes and renames over the target; false (target untouched) on failure.
    bool Commit();

    // Gives up: removes the temporary, the target stays as it was.
    void Abort();

    // The FILE* of the temporary, for libraries that write through stdio.
    std::FILE* Stream() { return m_file; }

private:
    std::FILE* m_file = nullptr;
    std::string m_target;
    std::string m_temp;
    bool m_failed = false;
};
