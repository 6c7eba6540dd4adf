#include "document/paths.h"

#include <cctype>

namespace {

char Lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool EndsWithNoCase(const std::string& text, const char* tail3) {
    if (text.size() < 3) return false;
    for (size_t i = 0; i < 3; ++i)
        if (Lower(text[text.size() - 3 + i]) != tail3[i]) return false;
    return true;
}

}  // namespace

int FileKind(const std::string& path) {
    if (path.find('.') == std::string::npos) return kFileNoExtension;
    if (EndsWithNoCase(path, "bmp")) return kFileBmp;
    if (EndsWithNoCase(path, ".ft")) return kFileFourier;
    if (EndsWithNoCase(path, "jpg")) return kFileJpg;
    if (EndsWithNoCase(path, "stp")) return kFileStamp;
    if (EndsWithNoCase(path, "png")) return kFilePng;
    return kFileUnknown;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    return dot == std::string::npos || dot <= nameStart ? path : path.substr(0, dot);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
