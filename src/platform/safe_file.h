#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>

// Writes a file beside its target and puts it in the target's place only when everything
// was written, so a failed write never destroys the file that was there. A writer that is
// destroyed without Commit() removes what it wrote.
//
// Where the file system allows, the new file has no name until Commit() (an unnamed file
// in the target's folder, O_TMPFILE): a process killed while it writes leaves nothing. Commit
// links it in under the target's name when there is no file yet, else under a temporary
// name beside the target that is renamed over it at once, so the old file is replaced in
// one step. Elsewhere the file is written under the temporary name itself. Every temporary
// is the target's name followed by ".part" and six letters or digits, and is locked
// (flock) while its writer lives; Open removes the temporaries of the same target that no
// writer holds any more, left by writers that were killed.
//
// A target that is a symbolic link is written through: the temporary lies beside the
// file the link leads to and is renamed over that file, so the link stays a link. A target
// that exists and that nobody may write (no write permission bit), or that this process
// may not write, is refused rather than replaced. The new file keeps the permissions of
// the file it replaces.
class CSafeFileWriter {
public:
    CSafeFileWriter() = default;
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Creates the temporary file; 0 on success, else the errno of the failure (EACCES for
    // a read-only target).
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

    // Where the file system offers unnamed files they are used (the default); tests switch
    // them off to see the named temporaries at work.
    static void UseUnnamedTemporaries(bool use);

    // What went wrong in words, after a failed Open, Write or Commit ("Permission denied",
    // "No space left on device"); empty while nothing failed.
    const std::string& ErrorReason() const { return m_reason; }

    // The file that Commit replaces: the target, or the file its links lead to.
    const std::string& FinalTarget() const { return m_target; }

private:
    void Fail(int error);
    int OpenUnnamed(mode_t mode);
    int OpenNamed(mode_t mode);
    bool LinkUnnamed(int fd);

    std::FILE* m_file = nullptr;
    std::string m_target;
    std::string m_temp;      // the named temporary; empty for an unnamed file
    bool m_unnamed = false;  // the file has no name until Commit
    bool m_existed = false;  // the target was there at Open
    std::string m_reason;
    bool m_failed = false;
};

// The file a path names after following its symbolic links (also a link to a file that
// does not exist yet); the path itself when it is no link. Empty for a loop of links.
std::string FollowLinks(const std::string& path);
