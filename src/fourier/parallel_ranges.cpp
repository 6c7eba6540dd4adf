#include "fourier/parallel_ranges.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// About a tenth of a millisecond of simple work per thread at the least.
constexpr int64_t kMinimumCostPerThread = 1 << 17;

}  // namespace

void ParallelRanges(int32_t count, int32_t threads, int64_t costPerIndex,
                    const std::function<void(int32_t begin, int32_t end)>& body) {
    if (count <= 0) return;
    const int64_t cost = static_cast<int64_t>(count) * std::max<int64_t>(costPerIndex, 1);
    const int64_t useful = std::max<int64_t>(cost / kMinimumCostPerThread, 1);
    const int32_t parts = static_cast<int32_t>(
        std::min<int64_t>({static_cast<int64_t>(std::max(threads, 1)), useful, count}));
    if (parts <= 1) {
        body(0, count);
        return;
    }
    auto rangeStart = [count, parts](int32_t part) {
        return static_cast<int32_t>(static_cast<int64_t>(count) * part / parts);
    };
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(parts - 1));
    int32_t started = 1;
    for (; started < parts; ++started) {
        try {
            helpers.emplace_back(body, rangeStart(started), rangeStart(started + 1));
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the calling thread does the rest
        }
    }
    body(rangeStart(0), rangeStart(1));
    if (started < parts) body(rangeStart(started), count);
    for (std::thread& helper : helpers) helper.join();
}
