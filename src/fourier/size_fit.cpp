#include "fourier/size_fit.h"

#include <algorithm>

#include "fourier/fourier.h"
#include "platform/user_interface.h"

namespace {

constexpr size_t kSizeListCapacity = 20;
constexpr int32_t kLongestTransform = 4096;

std::vector<CSize>& TheSizeList() {
    static std::vector<CSize> list;
    return list;
}

// Exponents of 2, 3 and 5 in v; false when v is not positive or has another prime factor.
bool FactorInto235(int32_t v, int exponents[3]) {
    if (v <= 0) return false;
    const int32_t primes[3] = {2, 3, 5};
    for (int i = 0; i < 3; ++i) {
        exponents[i] = 0;
        while (v % primes[i] == 0) {
            v /= primes[i];
            ++exponents[i];
        }
    }
    return v == 1;
}

// lcm of two numbers given by their exponents of 2, 3 and 5.
int64_t LcmOf235(const int a[3], const int b[3]) {
    const int64_t primes[3] = {2, 3, 5};
    int64_t n = 1;
    for (int i = 0; i < 3; ++i)
        for (int e = std::max(a[i], b[i]); e > 0; --e) n *= primes[i];
    return n;
}

int64_t Area(const CSize& size) {
    return static_cast<int64_t>(size.cx) * size.cy;
}

// Keeps the list in descending order of area, equal areas in order of arrival, without
// duplicates and with at most kSizeListCapacity entries (the smallest falls off).
void InsertSize(std::vector<CSize>& list, const CSize& size) {
    const int64_t area = Area(size);
    if (list.empty()) {
        list.push_back(size);
        return;
    }
    const bool full = list.size() >= kSizeListCapacity;
    if (full && Area(list.back()) >= area) return;
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        if (*it == size) return;
        if (Area(*it) < area) break;
    }
    list.insert(it, size);
    if (full) list.pop_back();
}

}  // namespace

int32_t TransformLength(int32_t width, int32_t height) {
    if (width < 4 || width % 4 != 0 || height < 2 || height % 2 != 0) return 0;
    int ew[3];
    int eh[3];
    if (!FactorInto235(width, ew) || !FactorInto235(height, eh)) return 0;
    const int64_t n = LcmOf235(ew, eh);
    return n <= kLongestTransform ? static_cast<int32_t>(n) : 0;
}

int32_t FitSize(int32_t width, int32_t height, CSize& chosen) {
    std::vector<CSize>& list = TheSizeList();
    list.clear();
    const int32_t roundedWidth = width / 4 * 4;
    const int32_t roundedHeight = height / 2 * 2;
    const int64_t targetArea = static_cast<int64_t>(roundedWidth) * roundedHeight;

    int64_t bestArea = 0;
    CSize best;
    int32_t bestLength = 0;
    // N is at least the width and the height, so nothing above 4096 can qualify: start
    // there (4096 lies on both the width and the height steps).
    for (int32_t h = std::min(roundedHeight, kLongestTransform); h > 0; h -= 2) {
        int eh[3];
        if (!FactorInto235(h, eh)) continue;
        for (int32_t w = std::min(roundedWidth, kLongestTransform); w > 0; w -= 4) {
            int ew[3];
            if (!FactorInto235(w, ew)) continue;
            const int64_t n = LcmOf235(ew, eh);
            if (n > kLongestTransform) continue;
            const CSize size{w, h};
            InsertSize(list, size);
            const int64_t area = Area(size);
            if (area == targetArea) {
                // The picture's own rounded size: taken without asking.
                chosen = size;
                return static_cast<int32_t>(n);
            }
            if (area >= bestArea) {
                bestArea = area;
                best = size;
                bestLength = static_cast<int32_t>(n);
            }
        }
    }
    if (bestLength == 0) return 0;

    if (list.size() > 1) {
        const SizeChoice choice = Ui().ChooseSize(list);
        if (!choice.accepted) return 0;
        if (choice.index >= 0 && static_cast<size_t>(choice.index) < list.size()) {
            best = list[static_cast<size_t>(choice.index)];
            bestLength = TransformLength(best.cx, best.cy);
        }
    }
    chosen = best;
    return bestLength;
}

bool ChooseWorkingSize(int32_t width, int32_t height, bool whole, CSize& chosen, int32_t& length) {
    TheSizeList().clear();
    if (whole || CFourier::EngineForPicture(width, height) == FourierEngine::Fft) {
        chosen = {width, height};
        length = TransformLength(width, height);
        return true;
    }
    length = FitSize(width, height, chosen);
    if (length != 0) return true;
    if (!SizeList().empty()) return false;  // the dialog was cancelled
    chosen = {width, height};
    return true;
}

const std::vector<CSize>& SizeList() {
    return TheSizeList();
}

std::string SizeListLine(const CSize& size) {
    return Format("X, %i, Y= %i", size.cx, size.cy);
}
