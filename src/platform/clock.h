#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// Wall-clock time in whole seconds, as elapsed times are measured and shown.
int64_t WallClockSeconds();

// A span of whole seconds as "%H : %M : %S", each field two digits (hours may grow).
std::string FormatTimeSpan(int64_t seconds);

// A precise stopwatch for reports that want fractions of a second.
class CStopwatch {
public:
    CStopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};
