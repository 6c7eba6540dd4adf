#pragma once

#include <string>

// Kinds of files the system opens and writes, told by the end of the path.
enum FileKindCode : int {
    kFileUnknown = -1,
    kFileNoExtension = 0,
    kFileBmp = 1,
    kFileFourier = 2,
    kFileJpg = 3,
    kFileStamp = 4,
    kFilePng = 5,
};

// 0 when the path has no '.', else its last three characters without regard to case:
// "bmp" 1, ".ft" 2, "jpg" 3, "stp" 4, "png" 5, anything else -1 (so ".jpeg" is -1).
int FileKind(const std::string& path);

// The path without the extension of its file name (cut at the file name's last '.'), so
// that every picture has companion files of its own: "photos.2024/cat.v2.bmp" gives
// "photos.2024/cat.v2". The folders are kept whole, dotted or not; a name whose only '.'
// is its first character (".hidden") has no extension.
std::string BaseName(const std::string& path);

// The path up to and including its last '/'; empty when there is none.
std::string FolderOf(const std::string& path);

// The file name: the path after its last '/'.
std::string FileNameOf(const std::string& path);
