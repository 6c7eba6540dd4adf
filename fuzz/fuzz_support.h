#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/terminal_ui.h"
#include "image/dib.h"
#include "platform/user_interface.h"

// What every fuzz target shares: messages go nowhere, questions take the default button,
// pictures are kept small so that each run is quick, and the input is handed to the
// readers as a file of the given extension, as a person would give it.
class CFuzzSetting {
public:
    CFuzzSetting() : m_sink(std::fopen("/dev/null", "w")), m_ui(m_sink ? m_sink : stderr) {
        InstallUi(&m_ui);
        // Readers must refuse larger declared sizes before they allocate for them.
        SetMaxPicturePixels(int64_t{1} << 16);
        const char* shm = "/dev/shm";
        m_folder = std::string(::access(shm, W_OK) == 0 ? shm : "/tmp") + "/zelvanto_fuzz_" +
                   std::to_string(::getpid());
        ::mkdir(m_folder.c_str(), 0700);
    }

    // Writes the bytes to the input file with the extension; its path.
    std::string Input(const uint8_t* data, size_t size, const std::string& extension) {
        const std::string path = m_folder + "/input" + extension;
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) std::abort();
        if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
        std::fclose(file);
        return path;
    }

private:
    std::FILE* m_sink;
    CTerminalUi m_ui;
    std::string m_folder;
};

inline CFuzzSetting& FuzzSetting() {
    static CFuzzSetting setting;
    return setting;
}

// Checks what a reader that said 1 gave: a whole 24-bit picture of the size it reported.
inline void CheckPicture(int result, const DibHandle& dib, const CSize& size) {
    if (result != 1) return;
    if (!IsWholePicture(dib)) std::abort();
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24 || !(d.size == size)) std::abort();
    // Touch every pixel byte, so that a block shorter than its header is found.
    const uint8_t* p = dib.Data() + d.pixelOffset;
    const size_t bytes = static_cast<size_t>(RowBytes(d.size.cx * 24)) * d.size.cy;
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += p[i];
    if (sum == 0xFFFFFFFFu) std::abort();
}
