#include "platform/user_interface.h"

#include <cstdarg>
#include <cstdio>

#include "platform/stream_ui.h"

namespace {

CUserInterface*& InstalledUi() {
    static CUserInterface* ui = nullptr;
    return ui;
}

CUserInterface& BuiltInUi() {
    static CStreamUi ui(stderr);
    return ui;
}

}  // namespace

CUserInterface& Ui() {
    CUserInterface* ui = InstalledUi();
    return ui ? *ui : BuiltInUi();
}

CUserInterface* InstallUi(CUserInterface* ui) {
    CUserInterface* previous = InstalledUi();
    InstalledUi() = ui;
    return previous;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return text;
}
