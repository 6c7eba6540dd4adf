#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "fourier/complex.h"

class CFourier;

// The projection engine's work for one size, worked out once. The serial engine visits
// frequencies (or, going back, pixels) in zig-zag order and lets a byte map decide which
// of them open a line of their own and which multiples each line fills. That bookkeeping
// does not depend on the picture and is the same for all three channels, so it is
// simulated here once; the lines can then be computed in any order, on any number of
// threads, each writing only its own spectrum entries (or real pixels), with the very
// same arithmetic per value as the serial loops.
struct CPlannedLine {
    int32_t u = 0;       // forward: fx; inverse: the pixel x
    int32_t v = 0;       // forward: fy; inverse: the pixel y
    uint32_t first = 0;  // the line's values: first .. first + count - 1
    uint32_t count = 0;
};

struct CPlannedValue {
    int32_t target = 0;  // forward: index within a plane; inverse: 3x + y*rowStride
    int32_t step = 0;    // residue step of the multiple, (g + N) mod N; 1 for the line itself
};

struct CLinePlan {
    std::vector<CPlannedLine> lines;
    std::vector<CPlannedValue> values;
    // Work estimate of lines 0 .. i-1 (one pass over the plane plus N per value), with
    // one entry more than there are lines; used to spread progress over the work.
    std::vector<uint64_t> costBefore;

    uint64_t TotalCost() const { return costBefore.empty() ? 0 : costBefore.back(); }
};

// Per-thread storage of the line kernels, for a batch of lines.
struct CLineScratch {
    std::vector<uint64_t> packedBins;   // per line 2N bins of three packed channel sums
    std::vector<double> bins;           // per line N x 3 exact channel sums, interleaved
    std::vector<Complex> accumulators;  // per line N x 3, interleaved
    std::vector<int32_t> columns;       // per line the residue of each column (W)
};

// Both directions for one size, and the storage to run them. Built from the engine's
// set-up alone; the phase tables are copied so the kernels need nothing else.
class CProjectionPlan {
public:
    static constexpr int32_t kChannels = 3;
    // Lines a thread takes at a time and runs over the same rows of the picture or
    // spectrum together.
    static constexpr int32_t kBatch = 4;

    // Throws std::bad_alloc when the memory cannot be had.
    explicit CProjectionPlan(const CFourier& engine);

    const CLinePlan& Forward() const { return m_forward; }
    const CLinePlan& Inverse() const { return m_inverse; }

    // The transforms over all three channels with `threads` threads. The spectrum is
    // left uncentred, the map untouched. False when progress stopped them. The first use
    // of each direction allocates its storage (std::bad_alloc when it cannot be had).
    bool Transform(const uint8_t* picture, Complex* spectrum, int32_t threads, int32_t steps,
                   const std::function<bool(double)>& progress);
    bool InverseTransform(double* real, const Complex* spectrum, int32_t threads, int32_t steps,
                          const std::function<bool(double)>& progress);

private:
    void ForwardBatch(std::size_t first, std::size_t last, Complex* spectrum,
                      CLineScratch& scratch) const;
    void InverseBatch(std::size_t first, std::size_t last, double* real,
                      CLineScratch& scratch) const;
    void PackPicture(const uint8_t* picture);
    void EnsureWorkers(int32_t threads);

    int32_t m_width, m_height, m_rowStride, m_length;
    int32_t m_stepX, m_stepY, m_planeSize;
    double m_invWidth, m_invHeight;
    std::vector<Complex> m_table;      // (cos, sin) of 2*pi*k/N
    std::vector<Complex> m_conjugate;  // (cos, -sin)
    CLinePlan m_forward;
    CLinePlan m_inverse;
    std::vector<uint64_t> m_packed;      // the picture, one packed word per pixel
    std::vector<Complex> m_interleaved;  // the spectrum, three channels per frequency
    std::vector<CLineScratch> m_workers;
};

// Runs work(worker, first, last) over all lines of the plan on `threads` threads, the
// calling thread being worker 0 and the others started here; lines are handed out in
// batches of `batch` consecutive lines, in plan order. Progress is reported on the calling
// thread only, in `steps` calls spread evenly over the summed cost (the last one once all
// work is done); when it returns false the workers stop after their current batch and the
// result is false.
bool RunPlannedLines(
    int32_t threads, const CLinePlan& plan, int32_t batch, int32_t steps,
    const std::function<bool(double)>& progress,
    const std::function<void(int32_t worker, std::size_t first, std::size_t last)>& work);

// Number of threads for a requested count: 0 or less means every hardware thread.
int32_t ResolveThreadCount(int32_t requested);
