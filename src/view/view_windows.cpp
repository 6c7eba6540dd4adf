#include "view/view_windows.h"

namespace {

CViewWindows*& TheViewWindows() {
    static CViewWindows* windows = nullptr;
    return windows;
}

}  // namespace

CViewWindows* MainViewWindows() {
    return TheViewWindows();
}

void SetMainViewWindows(CViewWindows* windows) {
    TheViewWindows() = windows;
}
