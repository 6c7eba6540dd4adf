#include "fourier/fourier_plan.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "fourier/fourier.h"

namespace {

// Three channel sums share one 64-bit word: blue in bits 0-20, green in 21-41, red in
// 42-63. Adding packed words adds the channels independently as long as no lane passes
// kLaneMax, that is for up to kLaneMax / 255 = 8224 full bytes per lane.
constexpr int kLaneBits = 21;
constexpr uint64_t kLaneMask = (uint64_t{1} << kLaneBits) - 1;
constexpr uint64_t kLaneMax = kLaneMask;

inline uint64_t PackPixel(const uint8_t* p) {
    return uint64_t{p[0]} | (uint64_t{p[1]} << kLaneBits) | (uint64_t{p[2]} << (2 * kLaneBits));
}

// The zig-zag visit of a W x H grid with a byte map, as the serial loops do it: a cell
// not yet marked opens a line; the line then takes its multiples -1, 1, -2, 2 ... until
// the first one outside the grid, skipping those already marked. `inRange(g)` tells
// whether multiple g lies in the grid and `cell(g)` gives its map index.
template <typename InRange, typename Cell, typename Target>
void SimulateVisit(int32_t width, int32_t height, int32_t length, bool centredOrigin,
                   CLinePlan& plan, InRange inRange, Cell cell, Target target) {
    std::vector<uint8_t> map(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const uint64_t pass = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    plan.costBefore.push_back(0);
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t k = 0; k < width; ++k) {
            const int32_t u = ZigZag(k);
            const int32_t v = ZigZag(j);
            const std::size_t own = cell(u, v, 1);
            if (map[own] != 0) continue;
            CPlannedLine line;
            line.u = centredOrigin ? u : u + width / 2;
            line.v = centredOrigin ? v : v + height / 2;
            line.first = static_cast<uint32_t>(plan.values.size());
            plan.values.push_back({target(u, v, 1), 1});
            map[own] = 1;
            if (u != 0 || v != 0) {
                for (int32_t m = 1;; ++m) {
                    const int32_t g = ZigZag(m);
                    if (!inRange(u, v, g)) break;
                    const std::size_t at = cell(u, v, g);
                    if (map[at] != 0) continue;
                    plan.values.push_back({target(u, v, g), ((g % length) + length) % length});
                    map[at] = 1;
                }
            }
            line.count = static_cast<uint32_t>(plan.values.size()) - line.first;
            plan.lines.push_back(line);
            plan.costBefore.push_back(plan.costBefore.back() + pass +
                                      static_cast<uint64_t>(line.count) *
                                          static_cast<uint64_t>(length));
        }
    }
}

// Residue of column x is (step*x) mod N; kept reduced by a subtraction.
void ColumnResidues(int32_t step, int32_t count, int32_t length, int32_t* columns) {
    int32_t r = 0;
    for (int32_t x = 0; x < count; ++x) {
        columns[x] = r;
        r += step;
        if (r >= length) r -= length;
    }
}

}  // namespace

int32_t ResolveThreadCount(int32_t requested) {
    if (requested > 0) return requested;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int32_t>(std::min(hardware, 256u));
}

bool RunPlannedLines(int32_t threads, const CLinePlan& plan, int32_t batch, int32_t steps,
                     const std::function<bool(double)>& progress,
                     const std::function<void(int32_t, std::size_t, std::size_t)>& work) {
    const std::size_t count = plan.lines.size();
    const std::size_t size = static_cast<std::size_t>(std::max(batch, 1));
    const uint64_t total = std::max<uint64_t>(plan.TotalCost(), 1);
    std::atomic<std::size_t> next{0};
    std::atomic<uint64_t> done{0};
    std::atomic<bool> stop{false};

    // Takes the next batch of lines and runs it; false when none is left or work stopped.
    auto runBatch = [&](int32_t worker, uint64_t& doneNow) {
        if (stop.load(std::memory_order_relaxed)) return false;
        const std::size_t first = next.fetch_add(size, std::memory_order_relaxed);
        if (first >= count) return false;
        const std::size_t last = std::min(first + size, count);
        work(worker, first, last);
        const uint64_t cost = plan.costBefore[last] - plan.costBefore[first];
        doneNow = done.fetch_add(cost, std::memory_order_relaxed) + cost;
        return true;
    };

    int32_t reported = 0;
    bool cancelled = false;
    // Reports every step whose share of the work is done; the last step waits for `last`.
    auto report = [&](uint64_t doneCost, bool last) {
        while (!cancelled && reported < steps) {
            const int32_t step = reported + 1;
            if (step == steps
                    ? !last
                    : doneCost * static_cast<uint64_t>(steps) < static_cast<uint64_t>(step) * total)
                return;
            reported = step;
            if (!progress(static_cast<double>(step) / static_cast<double>(steps))) {
                cancelled = true;
                stop.store(true, std::memory_order_relaxed);
            }
        }
    };

    const std::size_t batches = (count + size - 1) / size;
    const int32_t wanted = static_cast<int32_t>(
        std::clamp<std::size_t>(batches, 1, static_cast<std::size_t>(std::max(threads, 1))));
    std::vector<std::thread> pool;
    for (int32_t worker = 1; worker < wanted; ++worker) {
        try {
            pool.emplace_back([&runBatch, worker] {
                uint64_t ignored = 0;
                while (runBatch(worker, ignored)) {
                }
            });
        } catch (const std::system_error&) {
            break;  // fewer threads than asked; the work is the same
        }
    }
    // The calling thread works too, and between its batches tells how far all have come.
    uint64_t doneNow = 0;
    while (runBatch(0, doneNow))
        if (progress) report(doneNow, false);
    for (std::thread& t : pool) t.join();
    if (progress && !cancelled) report(done.load(), true);
    return !cancelled;
}

CProjectionPlan::CProjectionPlan(const CFourier& engine)
    : m_width(engine.Width()),
      m_height(engine.Height()),
      m_rowStride(engine.RowStride()),
      m_length(engine.Length()),
      m_stepX(engine.Length() / engine.Width()),
      m_stepY(engine.Length() / engine.Height()),
      m_planeSize(engine.PlaneSize()),
      m_invWidth(1.0 / static_cast<double>(engine.Width())),
      m_invHeight(1.0 / static_cast<double>(engine.Height())),
      m_table(engine.Table(), engine.Table() + engine.Length()),
      m_conjugate(m_table) {
    for (Complex& t : m_conjugate) t.im = -t.im;
    const int32_t w = m_width, h = m_height;
    const int32_t halfW = w / 2, halfH = h / 2;

    // Forward: cells are frequencies (fx, fy); multiple g is (g*fx, g*fy).
    auto frequencyIn = [=](int32_t fx, int32_t fy, int32_t g) {
        const int32_t gx = g * fx, gy = g * fy;
        return gx >= -halfW && gx < halfW && gy >= -halfH && gy < halfH;
    };
    auto frequencyCell = [=](int32_t fx, int32_t fy, int32_t g) {
        return static_cast<std::size_t>((g * fy + halfH) * w + (g * fx + halfW));
    };
    auto frequencyTarget = [=](int32_t fx, int32_t fy, int32_t g) {
        return (g * fy + halfH) * w + (g * fx + halfW);
    };
    SimulateVisit(w, h, m_length, true, m_forward, frequencyIn, frequencyCell, frequencyTarget);

    // Inverse: cells are pixels about the centre (X, Y); multiple g is the pixel
    // (W/2 + g*X, H/2 + g*Y).
    auto pixelIn = [=](int32_t cx, int32_t cy, int32_t g) {
        const int32_t px = halfW + g * cx, py = halfH + g * cy;
        return px >= 0 && px < w && py >= 0 && py < h;
    };
    auto pixelCell = [=](int32_t cx, int32_t cy, int32_t g) {
        return static_cast<std::size_t>((halfH + g * cy) * w + halfW + g * cx);
    };
    const int32_t stride = m_rowStride;
    auto pixelTarget = [=](int32_t cx, int32_t cy, int32_t g) {
        return 3 * (halfW + g * cx) + (halfH + g * cy) * stride;
    };
    SimulateVisit(w, h, m_length, false, m_inverse, pixelIn, pixelCell, pixelTarget);
}

void CProjectionPlan::EnsureWorkers(int32_t threads) {
    const std::size_t n = static_cast<std::size_t>(m_length);
    const std::size_t batch = static_cast<std::size_t>(kBatch);
    while (m_workers.size() < static_cast<std::size_t>(threads)) {
        CLineScratch s;
        s.packedBins.assign(batch * 2 * n, 0);
        s.bins.assign(batch * kChannels * n, 0.0);
        s.accumulators.assign(batch * kChannels * n, Complex(0, 0));
        s.columns.assign(batch * static_cast<std::size_t>(m_width), 0);
        m_workers.push_back(std::move(s));
    }
}

void CProjectionPlan::PackPicture(const uint8_t* picture) {
    m_packed.resize(static_cast<std::size_t>(m_planeSize));
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* p = picture + static_cast<std::ptrdiff_t>(y) * m_rowStride;
        uint64_t* out = m_packed.data() + static_cast<std::ptrdiff_t>(y) * m_width;
        for (int32_t x = 0; x < m_width; ++x, p += 3) out[x] = PackPixel(p);
    }
}

// ---------------------------------------------------------------------------------------
// Forward lines

namespace {
// Rows of picture (or spectrum) that a batch of lines goes through together, about this
// many bytes, so that they come from a near cache for every line of the batch.
constexpr int32_t kChunkBytes = 96 * 1024;

struct CForwardLine {
    int32_t sx, sy, rowStart, rowsPerEmpty, rowsSinceEmpty;
    int32_t* columns;
    uint64_t* packedBins;
    double* bins;
};
}  // namespace

void CProjectionPlan::ForwardBatch(std::size_t first, std::size_t last, Complex* spectrum,
                                   CLineScratch& scratch) const {
    const int32_t n = m_length;
    const int32_t width = m_width;
    const std::size_t count = last - first;
    CForwardLine state[kBatch];

    // Bin capacity: every residue a line reaches receives exactly W*H*g/N pixels,
    // g = gcd(sx, sy, N). When that many full bytes fit a lane the whole picture goes
    // through at once; otherwise the lanes are emptied into the exact sums every few rows
    // (a row puts at most gcd(fx mod W, W) pixels into one bin).
    for (std::size_t i = 0; i < count; ++i) {
        const CPlannedLine& line = m_forward.lines[first + i];
        CForwardLine& s = state[i];
        s.sx = (line.u + n) * m_stepX % n;
        s.sy = (line.v + n) * m_stepY % n;
        s.rowStart = 0;
        s.rowsSinceEmpty = 0;
        s.columns = scratch.columns.data() + i * static_cast<std::size_t>(width);
        s.packedBins = scratch.packedBins.data() + i * 2 * static_cast<std::size_t>(n);
        s.bins = scratch.bins.data() + i * kChannels * static_cast<std::size_t>(n);
        std::fill(s.bins, s.bins + kChannels * n, 0.0);
        ColumnResidues(s.sx, width, n, s.columns);
        const int32_t g = std::gcd(std::gcd(s.sx, s.sy), n);
        const uint64_t perBin = static_cast<uint64_t>(m_planeSize) * static_cast<uint64_t>(g) /
                                static_cast<uint64_t>(n);
        s.rowsPerEmpty = m_height;
        if (perBin * 255 > kLaneMax) {
            const int32_t perRow = std::gcd(((line.u % width) + width) % width, width);
            s.rowsPerEmpty = std::max<int32_t>(1, static_cast<int32_t>(kLaneMax / 255) / perRow);
        }
    }
    // Empties the packed bins (both halves) into the exact sums and clears them.
    auto empty = [n](CForwardLine& s) {
        for (int32_t i = 0; i < 2 * n; ++i) {
            const uint64_t v = s.packedBins[i];
            if (v == 0) continue;
            double* b = s.bins + kChannels * (i < n ? i : i - n);
            b[0] += static_cast<double>(v & kLaneMask);
            b[1] += static_cast<double>((v >> kLaneBits) & kLaneMask);
            b[2] += static_cast<double>(v >> (2 * kLaneBits));
            s.packedBins[i] = 0;
        }
    };

    // Pixel (x, y) lands in bin (sx*x + sy*y) mod N. Its row offset (sy*y) mod N plus its
    // column residue stays below 2N, so the pass runs over 2N bins with neither a
    // reduction nor a dependency from pixel to pixel; the halves are added when emptied.
    const int32_t chunk = std::max<int32_t>(1, kChunkBytes / (width * 8));
    for (int32_t y0 = 0; y0 < m_height; y0 += chunk) {
        const int32_t y1 = std::min(m_height, y0 + chunk);
        for (std::size_t i = 0; i < count; ++i) {
            CForwardLine& s = state[i];
            const int32_t* columns = s.columns;
            for (int32_t y = y0; y < y1; ++y) {
                const uint64_t* row = m_packed.data() + static_cast<std::ptrdiff_t>(y) * width;
                uint64_t* b = s.packedBins + s.rowStart;
                if (s.sx == 0) {
                    uint64_t sum = 0;  // at most 255*W per lane
                    for (int32_t x = 0; x < width; ++x) sum += row[x];
                    b[0] += sum;
                } else {
                    for (int32_t x = 0; x < width; ++x) b[columns[x]] += row[x];
                }
                s.rowStart += s.sy;
                if (s.rowStart >= n) s.rowStart -= n;
                if (++s.rowsSinceEmpty == s.rowsPerEmpty) {
                    empty(s);
                    s.rowsSinceEmpty = 0;
                }
            }
        }
    }

    // Each value in the order and with the operands of the serial loop: the sum over the
    // bins of h[i]*conj(table[(i*step) mod N]), then times 1/H and times 1/W.
    const Complex* conjugate = m_conjugate.data();
    for (std::size_t l = 0; l < count; ++l) {
        CForwardLine& s = state[l];
        if (s.rowsSinceEmpty != 0) empty(s);
        const double* bins = s.bins;
        const CPlannedLine& line = m_forward.lines[first + l];
        const CPlannedValue* values = m_forward.values.data() + line.first;
        for (uint32_t e = 0; e < line.count; ++e) {
            const int32_t step = values[e].step;
            double re0 = 0.0, im0 = 0.0, re1 = 0.0, im1 = 0.0, re2 = 0.0, im2 = 0.0;
            int32_t k = 0;
            for (int32_t i = 0; i < n; ++i) {
                const Complex t = conjugate[k];
                const double* h = bins + kChannels * i;
                re0 += h[0] * t.re;
                im0 += h[0] * t.im;
                re1 += h[1] * t.re;
                im1 += h[1] * t.im;
                re2 += h[2] * t.re;
                im2 += h[2] * t.im;
                k += step;
                if (k >= n) k -= n;
            }
            const std::ptrdiff_t at = values[e].target;
            spectrum[at] = Complex(re0 * m_invHeight * m_invWidth, im0 * m_invHeight * m_invWidth);
            spectrum[m_planeSize + at] =
                Complex(re1 * m_invHeight * m_invWidth, im1 * m_invHeight * m_invWidth);
            spectrum[2 * static_cast<std::ptrdiff_t>(m_planeSize) + at] =
                Complex(re2 * m_invHeight * m_invWidth, im2 * m_invHeight * m_invWidth);
        }
    }
}

bool CProjectionPlan::Transform(const uint8_t* picture, Complex* spectrum, int32_t threads,
                                int32_t steps, const std::function<bool(double)>& progress) {
    threads = std::max(threads, 1);
    EnsureWorkers(threads);
    PackPicture(picture);
    return RunPlannedLines(threads, m_forward, kBatch, steps, progress,
                           [&](int32_t worker, std::size_t first, std::size_t last) {
                               ForwardBatch(first, last, spectrum,
                                            m_workers[static_cast<std::size_t>(worker)]);
                           });
}

// ---------------------------------------------------------------------------------------
// Inverse lines

namespace {
struct CInverseLine {
    int32_t sx, sy, rowOffset;
    int32_t* columns;
    Complex* acc;
};
}  // namespace

void CProjectionPlan::InverseBatch(std::size_t first, std::size_t last, double* real,
                                   CLineScratch& scratch) const {
    const int32_t n = m_length;
    const int32_t width = m_width;
    const int32_t halfW = m_width / 2, halfH = m_height / 2;
    const std::size_t count = last - first;
    CInverseLine state[kBatch];
    for (std::size_t i = 0; i < count; ++i) {
        const CPlannedLine& line = m_inverse.lines[first + i];
        CInverseLine& s = state[i];
        s.sx = (line.u + n - halfW) * m_stepX % n;
        s.sy = (line.v + n - halfH) * m_stepY % n;
        s.rowOffset = s.sx * (n - halfW);
        s.columns = scratch.columns.data() + i * static_cast<std::size_t>(width);
        s.acc = scratch.accumulators.data() + i * kChannels * static_cast<std::size_t>(n);
        std::fill(s.acc, s.acc + kChannels * n, Complex(0, 0));
        ColumnResidues(s.sx, width, n, s.columns);
    }

    // Floating-point sums depend on their order, so every bin receives its frequencies
    // exactly as in the serial loop: rows fy ascending, fx ascending within a row. Only
    // the three channels go together, each into its own accumulators.
    const int32_t chunk = std::max<int32_t>(1, kChunkBytes / (width * 48));
    for (int32_t fy0 = -halfH; fy0 < halfH; fy0 += chunk) {
        const int32_t fy1 = std::min(halfH, fy0 + chunk);
        for (std::size_t i = 0; i < count; ++i) {
            const CInverseLine& s = state[i];
            const int32_t* columns = s.columns;
            Complex* acc = s.acc;
            for (int32_t fy = fy0; fy < fy1; ++fy) {
                const int32_t r0 = (s.sy * (fy + n) + s.rowOffset) % n;
                const Complex* f = m_interleaved.data() +
                                   static_cast<std::ptrdiff_t>(fy + halfH) * width * kChannels;
                if (s.sx == 0) {
                    // The whole row goes into one bin: the same additions, in registers.
                    Complex* a = acc + kChannels * r0;
                    Complex a0 = a[0], a1 = a[1], a2 = a[2];
                    for (int32_t k = 0; k < width; ++k, f += kChannels) {
                        a0 += f[0];
                        a1 += f[1];
                        a2 += f[2];
                    }
                    a[0] = a0;
                    a[1] = a1;
                    a[2] = a2;
                    continue;
                }
                for (int32_t k = 0; k < width; ++k, f += kChannels) {
                    int32_t r = r0 + columns[k];
                    if (r >= n) r -= n;
                    Complex* a = acc + kChannels * r;
#if defined(__SSE2__)
                    // One packed addition per Complex: the same two sums as re += and im +=.
                    double* d = &a[0].re;
                    const double* g = &f[0].re;
                    _mm_store_pd(d, _mm_add_pd(_mm_load_pd(d), _mm_load_pd(g)));
                    _mm_store_pd(d + 2, _mm_add_pd(_mm_load_pd(d + 2), _mm_load_pd(g + 2)));
                    _mm_store_pd(d + 4, _mm_add_pd(_mm_load_pd(d + 4), _mm_load_pd(g + 4)));
#else
                    a[0] += f[0];
                    a[1] += f[1];
                    a[2] += f[2];
#endif
                }
            }
        }
    }

    // Each value: the real part of the sum over the bins of acc[i]*table[(i*step) mod N].
    const Complex* table = m_table.data();
    for (std::size_t l = 0; l < count; ++l) {
        const Complex* acc = state[l].acc;
        const CPlannedLine& line = m_inverse.lines[first + l];
        const CPlannedValue* values = m_inverse.values.data() + line.first;
        for (uint32_t e = 0; e < line.count; ++e) {
            const int32_t step = values[e].step;
            double s0 = 0.0, s1 = 0.0, s2 = 0.0;
            int32_t k = 0;
            for (int32_t i = 0; i < n; ++i) {
                const Complex t = table[k];
                const Complex* a = acc + kChannels * i;
                s0 += a[0].re * t.re - a[0].im * t.im;
                s1 += a[1].re * t.re - a[1].im * t.im;
                s2 += a[2].re * t.re - a[2].im * t.im;
                k += step;
                if (k >= n) k -= n;
            }
            double* out = real + values[e].target;
            out[0] = s0;
            out[1] = s1;
            out[2] = s2;
        }
    }
}

bool CProjectionPlan::InverseTransform(double* real, const Complex* spectrum, int32_t threads,
                                       int32_t steps, const std::function<bool(double)>& progress) {
    threads = std::max(threads, 1);
    EnsureWorkers(threads);
    // The three planes side by side, one frequency's three values in a row, so that a
    // pass reads one stream.
    m_interleaved.resize(static_cast<std::size_t>(kChannels) *
                         static_cast<std::size_t>(m_planeSize));
    for (int32_t i = 0; i < m_planeSize; ++i)
        for (int32_t c = 0; c < kChannels; ++c)
            m_interleaved[static_cast<std::size_t>(kChannels * i + c)] =
                spectrum[static_cast<std::ptrdiff_t>(c) * m_planeSize + i];
    return RunPlannedLines(threads, m_inverse, kBatch, steps, progress,
                           [&](int32_t worker, std::size_t first, std::size_t last) {
                               InverseBatch(first, last, real,
                                            m_workers[static_cast<std::size_t>(worker)]);
                           });
}
