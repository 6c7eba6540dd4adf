#include "platform/clock.h"

#include <ctime>

#include "platform/user_interface.h"

int64_t WallClockSeconds() {
    return static_cast<int64_t>(std::time(nullptr));
}

std::string FormatTimeSpan(int64_t seconds) {
    if (seconds < 0) seconds = 0;
    const long long hours = seconds / 3600;
    const int minutes = static_cast<int>((seconds / 60) % 60);
    const int secs = static_cast<int>(seconds % 60);
    return Format("%02lld : %02d : %02d", hours, minutes, secs);
}
