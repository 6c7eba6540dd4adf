#include "fourier/fourier.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "fourier/fft_engine.h"
#include "fourier/fourier_plan.h"
#include "fourier/parallel_ranges.h"
#include "platform/user_interface.h"

// The engines' plans for the current size. Each is made on its engine's first transform;
// the FFT plan again when the thread count changed.
struct CEngineState {
    std::unique_ptr<CProjectionPlan> projection;
    bool projectionFailed = false;  // no memory for it: the plain loops do the work
    std::unique_ptr<CFftPlan> fft;
};

namespace {
std::atomic<EngineChoice> g_engineChoice{EngineChoice::Automatic};
std::atomic<int32_t> g_threadCount{0};
}  // namespace

void CFourier::SetEngineChoice(EngineChoice choice) {
    g_engineChoice.store(choice);
}

EngineChoice CFourier::ChosenEngine() {
    return g_engineChoice.load();
}

void CFourier::SetEngine(FourierEngine engine) {
    SetEngineChoice(engine == FourierEngine::Fft ? EngineChoice::Fft : EngineChoice::Projection);
}

FourierEngine CFourier::EngineForPicture(int64_t width, int64_t height) {
    switch (ChosenEngine()) {
        case EngineChoice::Projection:
            return FourierEngine::Projection;
        case EngineChoice::Fft:
            return FourierEngine::Fft;
        case EngineChoice::Automatic:
            break;
    }
    return width * height <= kExactEngineLargestArea ? FourierEngine::Projection
                                                     : FourierEngine::Fft;
}

FourierEngine CFourier::ActiveEngine() const {
    if (m_length == 0) return FourierEngine::Fft;
    return EngineForPicture(m_width, m_height);
}

std::string CFourier::EngineDescription() const {
    const FourierEngine engine = ActiveEngine();
    std::string text = engine == FourierEngine::Fft ? "fft engine" : "projection engine";
    if (m_length == 0 && m_planeSize != 0)
        return text + Format(", the exact engine takes no %i x %i picture", m_width, m_height);
    return text + (ChosenEngine() == EngineChoice::Automatic ? ", by picture size" : ", chosen");
}

void CFourier::SetThreadCount(int32_t count) {
    g_threadCount.store(count < 0 ? 0 : count);
}

int32_t CFourier::ThreadCount() {
    return ResolveThreadCount(g_threadCount.load());
}

CEngineState& CFourier::State() {
    if (!m_cache.m_state) m_cache.m_state = std::make_shared<CEngineState>();
    return *m_cache.m_state;
}

CFourier::CFourier() {
    std::fill(std::begin(m_table), std::end(m_table), Complex(0.0, 0.0));
    std::fill(std::begin(m_histogram), std::end(m_histogram), 0u);
    std::fill(std::begin(m_accumulator), std::end(m_accumulator), Complex(0.0, 0.0));
}

CFourier::~CFourier() = default;

bool CFourier::SetUp(int32_t width, int32_t height, int32_t rowStride, int32_t rows,
                     int32_t length) {
    if (length == 0) return SetUpWithoutProjection(width, height, rowStride, rows);
    if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0) return false;
    // N must be a multiple of W and H so that x*N/W and y*N/H are whole residues, and of 4
    // so that the quarter-turn shift below turns the cosines into sines.
    if (length <= 0 || length > kMaxLength || length % 4 != 0) return false;
    if (length % width != 0 || length % height != 0) return false;
    if (rowStride < 3 * width) return false;

    m_width = width;
    m_height = height;
    m_rowStride = rowStride;
    m_rows = rows;
    m_length = length;
    m_halfWidth = width / 2;
    m_halfHeight = height / 2;
    m_planeSize = width * height;
    m_invWidth = 1.0 / static_cast<double>(width);
    m_invHeight = 1.0 / static_cast<double>(height);
    m_stepX = length / width;
    m_stepY = length / height;

    // Entry k is (cos 2*pi*k/N, sin 2*pi*k/N); the sine of k is the cosine of k - N/4.
    std::fill(std::begin(m_table), std::end(m_table), Complex(0.0, 0.0));
    const double twoPi = 2.0 * 3.141592653589793;
    const double angleStep = twoPi / static_cast<double>(length);
    const int32_t quarter = length / 4;
    for (int32_t k = 0; k < length; ++k) {
        m_table[k].re = std::cos(static_cast<double>(k) * angleStep);
        m_table[(quarter + k) % length].im = m_table[k].re;
    }
    m_isPowerOfTwo = (length & (length - 1)) == 0;
    m_mask = length - 1;
    m_cache.m_state.reset();
    return true;
}

bool CFourier::SetUpWithoutProjection(int32_t width, int32_t height, int32_t rowStride,
                                      int32_t rows) {
    if (width <= 0 || height <= 0) return false;
    if (int64_t{width} * height > kMaxSpectrumPixels) return false;
    if (int64_t{rowStride} < 3 * int64_t{width}) return false;
    m_width = width;
    m_height = height;
    m_rowStride = rowStride;
    m_rows = rows;
    m_length = 0;
    m_halfWidth = width / 2;
    m_halfHeight = height / 2;
    m_planeSize = width * height;
    m_invWidth = 1.0 / static_cast<double>(width);
    m_invHeight = 1.0 / static_cast<double>(height);
    m_stepX = 0;
    m_stepY = 0;
    std::fill(std::begin(m_table), std::end(m_table), Complex(0.0, 0.0));
    m_isPowerOfTwo = false;
    m_mask = 0;
    m_cache.m_state.reset();
    return true;
}

// ---------------------------------------------------------------------------------------
// Forward transform

template <bool kPowerOfTwo>
void CFourier::ProjectFrequency(const uint8_t* picture, int32_t channel, int32_t fx, int32_t fy,
                                uint32_t* histogram) const {
    const int32_t n = m_length;
    std::fill(histogram, histogram + n, 0u);
    const int32_t sx = (fx + n) * m_stepX % n;
    const int32_t sy = (fy + n) * m_stepY % n;
    // The residue of pixel (x, y) is (sx*x + sy*y) mod N. Each row starts at (sy*y) mod N,
    // kept reduced from row to row; along a row the residue stays below 2N before its
    // reduction, so a subtraction (or the mask) replaces the division.
    int32_t rowStart = 0;
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* p = picture + channel + static_cast<ptrdiff_t>(y) * m_rowStride;
        int32_t r = rowStart;
        for (int32_t x = 0; x < m_width; ++x) {
            if constexpr (kPowerOfTwo) {
                r &= m_mask;
            } else if (r >= n) {
                r -= n;
            }
            histogram[r] += *p;
            p += 3;
            r += sx;
        }
        rowStart += sy;
        if (rowStart >= n) rowStart -= n;
    }
}

template <bool kPowerOfTwo>
Complex CFourier::HistogramValue(const uint32_t* histogram, int32_t step) const {
    // Sum over the bins i of h[i] * conj(table[(i*step) mod N]), in bin order.
    double re = 0.0;
    double im = 0.0;
    int32_t k = 0;
    for (int32_t i = 0; i < m_length; ++i) {
        const double h = static_cast<double>(histogram[i]);
        re += h * m_table[k].re;
        im -= h * m_table[k].im;
        k += step;
        if constexpr (kPowerOfTwo) {
            k &= m_mask;
        } else if (k >= m_length) {
            k -= m_length;
        }
    }
    return {re * m_invHeight * m_invWidth, im * m_invHeight * m_invWidth};
}

template <bool kPowerOfTwo>
void CFourier::TransformLine(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                             int32_t channel, int32_t fx, int32_t fy, uint32_t* histogram) const {
    if (channel < 0 || channel > 2) return;
    if (fx < -m_halfWidth || fx >= m_halfWidth || fy < -m_halfHeight || fy >= m_halfHeight) return;
    const int32_t index = FrequencyIndex(fx, fy);
    if (map[index] == 1) return;

    ProjectFrequency<kPowerOfTwo>(picture, channel, fx, fy, histogram);
    Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
    plane[index] = HistogramValue<kPowerOfTwo>(histogram, 1);
    map[index] = 1;
    if (fx == 0 && fy == 0) return;

    // The residue of g*(fx, fy) is g times that of (fx, fy): the same bins serve every
    // multiple, visited -1, 1, -2, 2 ... until the first one outside the spectrum.
    for (int32_t m = 1;; ++m) {
        const int32_t g = ZigZag(m);
        const int32_t gx = g * fx;
        const int32_t gy = g * fy;
        if (gx < -m_halfWidth || gx >= m_halfWidth || gy < -m_halfHeight || gy >= m_halfHeight)
            break;
        const int32_t multiple = FrequencyIndex(gx, gy);
        if (map[multiple] != 0) continue;
        plane[multiple] = HistogramValue<kPowerOfTwo>(histogram, ResidueStep(g));
        map[multiple] = 1;
    }
}

void CFourier::TransformFrequency(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                                  int32_t channel, int32_t fx, int32_t fy) {
    if (m_length == 0) return;  // no projection for this size
    TransformLine<false>(picture, spectrum, map, channel, fx, fy, m_histogram);
}

void CFourier::TransformFrequencyPowerOfTwo(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                                            int32_t channel, int32_t fx, int32_t fy) {
    if (m_length == 0) return;
    // The mask is only a reduction modulo N when N is a power of two.
    if (m_isPowerOfTwo)
        TransformLine<true>(picture, spectrum, map, channel, fx, fy, m_histogram);
    else
        TransformLine<false>(picture, spectrum, map, channel, fx, fy, m_histogram);
}

bool CFourier::TransformSerial(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                               const Progress& progress) {
    if (m_length == 0) return m_planeSize == 0 || TransformFft(picture, spectrum, progress);
    const double rowsToDo = 3.0 * static_cast<double>(m_height);
    for (int32_t channel = 0; channel < 3; ++channel) {
        ClearMap(map, 0);
        for (int32_t j = 0; j < m_height; ++j) {
            const int32_t fy = ZigZag(j);
            for (int32_t k = 0; k < m_width; ++k) {
                if (m_isPowerOfTwo)
                    TransformLine<true>(picture, spectrum, map, channel, ZigZag(k), fy,
                                        m_histogram);
                else
                    TransformLine<false>(picture, spectrum, map, channel, ZigZag(k), fy,
                                         m_histogram);
            }
            const double done = static_cast<double>(channel * m_height + j + 1) / rowsToDo;
            if (progress && !progress(done)) return false;
        }
    }
    CentreSpectrum(spectrum);
    return true;
}

void CFourier::CentreSpectrum(Complex* spectrum) const {
    for (int32_t channel = 0; channel < 3; ++channel) {
        Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
        for (int32_t fy = -m_halfHeight; fy < m_halfHeight; ++fy) {
            Complex* row = plane + static_cast<ptrdiff_t>(fy + m_halfHeight) * m_width;
            for (int32_t fx = -m_halfWidth; fx < m_halfWidth; ++fx) {
                if (((fx + fy) & 1) != 0) {
                    Complex& v = row[fx + m_halfWidth];
                    v = -v;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------
// Inverse transform

template <bool kPowerOfTwo>
void CFourier::ProjectPixel(const Complex* plane, int32_t x, int32_t y,
                            Complex* accumulator) const {
    const int32_t n = m_length;
    std::fill(accumulator, accumulator + n, Complex(0.0, 0.0));
    // With X = x - W/2 and Y = y - H/2, frequency (fx, fy) lands in bin
    // (X*fx*N/W + Y*fy*N/H) mod N. Each frequency row starts at a residue reduced once;
    // along the row it stays below 2N before its reduction.
    const int32_t sx = (x + n - m_halfWidth) * m_stepX % n;
    const int32_t sy = (y + n - m_halfHeight) * m_stepY % n;
    const int32_t rowOffset = sx * (n - m_halfWidth);
    for (int32_t fy = -m_halfHeight; fy < m_halfHeight; ++fy) {
        int32_t r = sy * (fy + n) + rowOffset;
        if constexpr (kPowerOfTwo) {
            r &= m_mask;
        } else {
            r %= n;
        }
        const Complex* f = plane + static_cast<ptrdiff_t>(fy + m_halfHeight) * m_width;
        for (int32_t k = 0; k < m_width; ++k) {
            if constexpr (kPowerOfTwo) {
                r &= m_mask;
            } else if (r >= n) {
                r -= n;
            }
            accumulator[r] += f[k];
            r += sx;
        }
    }
}

template <bool kPowerOfTwo>
double CFourier::AccumulatorValue(const Complex* accumulator, int32_t step) const {
    // Real part of the sum over the bins i of acc[i] * table[(i*step) mod N], in bin order.
    double sum = 0.0;
    int32_t k = 0;
    for (int32_t i = 0; i < m_length; ++i) {
        sum += accumulator[i].re * m_table[k].re - accumulator[i].im * m_table[k].im;
        k += step;
        if constexpr (kPowerOfTwo) {
            k &= m_mask;
        } else if (k >= m_length) {
            k -= m_length;
        }
    }
    return sum;
}

template <bool kPowerOfTwo>
void CFourier::InverseLine(double* real, const Complex* plane, uint8_t* map, int32_t x, int32_t y,
                           int32_t channel, Complex* accumulator) const {
    if (channel < 0 || channel > 2) return;
    if (x < 0 || x >= m_width || y < 0 || y >= m_height) return;
    if (map[x + y * m_width] == 1) return;

    ProjectPixel<kPowerOfTwo>(plane, x, y, accumulator);
    real[channel + 3 * x + static_cast<ptrdiff_t>(y) * m_rowStride] =
        AccumulatorValue<kPowerOfTwo>(accumulator, 1);
    map[x + y * m_width] = 1;

    // Pixels g*(X, Y) about the centre share the bins, with residues g times as large.
    const int32_t cx = x - m_halfWidth;
    const int32_t cy = y - m_halfHeight;
    if (cx == 0 && cy == 0) return;
    for (int32_t m = 1;; ++m) {
        const int32_t g = ZigZag(m);
        const int32_t px = m_halfWidth + g * cx;
        const int32_t py = m_halfHeight + g * cy;
        if (px < 0 || px >= m_width || py < 0 || py >= m_height) break;
        if (map[px + py * m_width] != 0) continue;
        real[channel + 3 * px + static_cast<ptrdiff_t>(py) * m_rowStride] =
            AccumulatorValue<kPowerOfTwo>(accumulator, ResidueStep(g));
        map[px + py * m_width] = 1;
    }
}

void CFourier::InversePixel(double* real, const Complex* plane, uint8_t* map, int32_t x, int32_t y,
                            int32_t channel) {
    if (m_length == 0) return;  // no projection for this size
    InverseLine<false>(real, plane, map, x, y, channel, m_accumulator);
}

void CFourier::InversePixelPowerOfTwo(double* real, const Complex* plane, uint8_t* map, int32_t x,
                                      int32_t y, int32_t channel) {
    if (m_length == 0) return;
    if (m_isPowerOfTwo)
        InverseLine<true>(real, plane, map, x, y, channel, m_accumulator);
    else
        InverseLine<false>(real, plane, map, x, y, channel, m_accumulator);
}

bool CFourier::InverseTransformSerial(double* real, const Complex* spectrum, uint8_t* map,
                                      const Progress& progress) {
    if (m_length == 0) return m_planeSize == 0 || InverseFft(real, spectrum, progress);
    const double rowsToDo = 3.0 * static_cast<double>(m_height);
    for (int32_t channel = 0; channel < 3; ++channel) {
        const Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
        ClearMap(map, 0);
        for (int32_t j = 0; j < m_height; ++j) {
            const int32_t y = m_halfHeight + ZigZag(j);
            for (int32_t k = 0; k < m_width; ++k) {
                const int32_t x = m_halfWidth + ZigZag(k);
                if (m_isPowerOfTwo)
                    InverseLine<true>(real, plane, map, x, y, channel, m_accumulator);
                else
                    InverseLine<false>(real, plane, map, x, y, channel, m_accumulator);
            }
            const double done = static_cast<double>(channel * m_height + j + 1) / rowsToDo;
            if (progress && !progress(done)) return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The engines

bool CFourier::Transform(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                         const Progress& progress) {
    m_printKnown = false;
    bool done = false;
    if (m_planeSize == 0)
        done = TransformSerial(picture, spectrum, map, progress);
    else if (ActiveEngine() == FourierEngine::Fft)
        done = TransformFft(picture, spectrum, progress);
    else
        done = TransformProjection(picture, spectrum, map, progress);
    if (done && m_planeSize != 0) SetSpectrumPrint(PrintOf(picture), true);
    return done;
}

bool CFourier::InverseTransform(double* real, const Complex* spectrum, uint8_t* map,
                                const Progress& progress) {
    if (m_planeSize == 0) return InverseTransformSerial(real, spectrum, map, progress);
    if (ActiveEngine() == FourierEngine::Fft) return InverseFft(real, spectrum, progress);
    return InverseProjection(real, spectrum, map, progress);
}

namespace {
// The plan of a size, made on first use; null when the memory for it cannot be had.
CProjectionPlan* ProjectionPlan(CEngineState& state, const CFourier& engine) {
    if (!state.projection && !state.projectionFailed) {
        try {
            state.projection = std::make_unique<CProjectionPlan>(engine);
        } catch (const std::bad_alloc&) {
            state.projectionFailed = true;
        }
    }
    return state.projection.get();
}

CFftPlan* FftPlan(CEngineState& state, const CFourier& engine) {
    const int32_t threads = CFourier::ThreadCount();
    if (!state.fft || state.fft->Threads() != threads) {
        state.fft.reset();
        state.fft = std::make_unique<CFftPlan>(engine.Width(), engine.Height(), threads);
    }
    return state.fft.get();
}
}  // namespace

bool CFourier::TransformProjection(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                                   const Progress& progress) {
    CProjectionPlan* plan = ProjectionPlan(State(), *this);
    // As many progress calls as the serial loops make: one per row of each channel.
    bool done = false;
    try {
        if (plan != nullptr)
            done = plan->Transform(picture, spectrum, ThreadCount(), 3 * m_height, progress);
    } catch (const std::bad_alloc&) {
        plan = nullptr;
    }
    if (plan == nullptr) return TransformSerial(picture, spectrum, map, progress);
    if (!done) return false;
    CentreSpectrum(spectrum);
    ClearMap(map, 1);  // every frequency known, as the serial loops leave it
    return true;
}

bool CFourier::InverseProjection(double* real, const Complex* spectrum, uint8_t* map,
                                 const Progress& progress) {
    CProjectionPlan* plan = ProjectionPlan(State(), *this);
    bool done = false;
    try {
        if (plan != nullptr)
            done = plan->InverseTransform(real, spectrum, ThreadCount(), 3 * m_height, progress);
    } catch (const std::bad_alloc&) {
        plan = nullptr;
    }
    if (plan == nullptr) return InverseTransformSerial(real, spectrum, map, progress);
    if (!done) return false;
    ClearMap(map, 1);
    return true;
}

bool CFourier::TransformFft(const uint8_t* picture, Complex* spectrum, const Progress& progress) {
    CFftPlan* plan = nullptr;
    try {
        plan = FftPlan(State(), *this);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return plan->Transform(picture, m_rowStride, spectrum, progress);
}

bool CFourier::InverseFft(double* real, const Complex* spectrum, const Progress& progress) {
    CFftPlan* plan = nullptr;
    try {
        plan = FftPlan(State(), *this);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return plan->InverseTransform(real, m_rowStride, spectrum, progress);
}

// ---------------------------------------------------------------------------------------
// Maps, conversions, impulse

void CFourier::ClearMap(uint8_t* map, uint8_t value) const {
    std::memset(map, value, static_cast<size_t>(m_planeSize));
}

void CFourier::RealsToBytes(uint8_t* picture, const double* real) const {
    const int32_t rowValues = 3 * m_width;
    ParallelRanges(m_height, ThreadCount(), rowValues, [&](int32_t begin, int32_t end) {
        for (int32_t y = begin; y < end; ++y) {
            const ptrdiff_t row = static_cast<ptrdiff_t>(y) * m_rowStride;
            for (int32_t i = 0; i < rowValues; ++i) picture[row + i] = ByteFromReal(real[row + i]);
        }
    });
}

void CFourier::BytesToReals(const uint8_t* picture, double* real) const {
    const int32_t rowValues = 3 * m_width;
    for (int32_t y = 0; y < m_height; ++y) {
        const ptrdiff_t row = static_cast<ptrdiff_t>(y) * m_rowStride;
        for (int32_t i = 0; i < rowValues; ++i) real[row + i] = picture[row + i];
    }
}

void CFourier::ImpulseSpectrum(int32_t x0, int32_t y0, Complex* spectrum) const {
    if (m_planeSize == 0) return;
    if (m_length == 0) {
        ImpulseSpectrumOfAnySize(x0, y0, spectrum);
        return;
    }
    const int64_t n = m_length;
    // Pixel (x0, y0) lands in bin (x0*(N/W)*(N + fx) + y0*(N/H)*(N + fy)) mod N, weighted 1;
    // the value is the conjugate table entry scaled like a transformed frequency.
    for (int32_t fy = -m_halfHeight; fy < m_halfHeight; ++fy) {
        for (int32_t fx = -m_halfWidth; fx < m_halfWidth; ++fx) {
            int64_t k = (static_cast<int64_t>(y0) * m_stepY * (n + fy) +
                         static_cast<int64_t>(x0) * m_stepX * (n + fx)) %
                        n;
            if (k < 0) k += n;
            const Complex& t = m_table[k];
            spectrum[FrequencyIndex(fx, fy)] =
                Complex(t.re * m_invHeight * m_invWidth, -t.im * m_invHeight * m_invWidth);
        }
    }
    std::copy(spectrum, spectrum + m_planeSize, spectrum + m_planeSize);
    std::copy(spectrum, spectrum + m_planeSize, spectrum + 2 * static_cast<ptrdiff_t>(m_planeSize));
    CentreSpectrum(spectrum);
}

void CFourier::ImpulseSpectrumOfAnySize(int32_t x0, int32_t y0, Complex* spectrum) const {
    // F(fx, fy) = e^(-2*pi*i*(fx*X0/W + fy*Y0/H)) / (W*H) with the centred position
    // X0 = x0 - W/2, Y0 = y0 - H/2: the phase reduced exactly in whole steps of 1/(W*H).
    const int64_t w = m_width, h = m_height, area = w * h;
    const int64_t cx = ((int64_t{x0} - m_halfWidth) % w + w) % w;
    const int64_t cy = ((int64_t{y0} - m_halfHeight) % h + h) % h;
    const double scale = m_invHeight * m_invWidth;
    const double twoPi = 2.0 * 3.141592653589793;
    for (int32_t fy = -m_halfHeight; fy < EndY(); ++fy) {
        const int64_t ry = ((fy * cy) % h + h) % h;
        for (int32_t fx = -m_halfWidth; fx < EndX(); ++fx) {
            const int64_t rx = ((fx * cx) % w + w) % w;
            const int64_t k = (rx * h + ry * w) % area;
            const double angle = twoPi * static_cast<double>(k) / static_cast<double>(area);
            spectrum[FrequencyIndex(fx, fy)] =
                Complex(std::cos(angle) * scale, -std::sin(angle) * scale);
        }
    }
    std::copy(spectrum, spectrum + m_planeSize, spectrum + m_planeSize);
    std::copy(spectrum, spectrum + m_planeSize, spectrum + 2 * static_cast<ptrdiff_t>(m_planeSize));
}

// ---------------------------------------------------------------------------------------
// Statistics

void CFourier::MeasurePicture(const uint8_t* picture) {
    if (m_planeSize == 0) return;
    // Byte sums are exact in 64 bits and convert exactly to double.
    uint64_t sums[3] = {0, 0, 0};
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* p = picture + static_cast<ptrdiff_t>(y) * m_rowStride;
        for (int32_t x = 0; x < m_width; ++x, p += 3) {
            sums[0] += p[0];
            sums[1] += p[1];
            sums[2] += p[2];
        }
    }
    const double inverse = 1.0 / static_cast<double>(m_planeSize);
    double means[3];
    for (int c = 0; c < 3; ++c) means[c] = static_cast<double>(sums[c]) * inverse;

    double squares[3] = {0.0, 0.0, 0.0};
    for (int32_t y = 0; y < m_height; ++y) {
        const uint8_t* p = picture + static_cast<ptrdiff_t>(y) * m_rowStride;
        for (int32_t x = 0; x < m_width; ++x, p += 3) {
            for (int c = 0; c < 3; ++c) {
                const double d = static_cast<double>(p[c]) - means[c];
                squares[c] += d * d;
            }
        }
    }
    m_meanBlue = means[0];
    m_meanGreen = means[1];
    m_meanRed = means[2];
    m_stdBlue = std::sqrt(squares[0] * inverse);
    m_stdGreen = std::sqrt(squares[1] * inverse);
    m_stdRed = std::sqrt(squares[2] * inverse);
}

void CFourier::MeasureSpectrum(const Complex* spectrum) {
    if (m_planeSize == 0) return;
    m_meanBlue = DcValue(spectrum, 0);
    m_meanGreen = DcValue(spectrum, 1);
    m_meanRed = DcValue(spectrum, 2);
    m_stdBlue = Variation(spectrum, 0);
    m_stdGreen = Variation(spectrum, 1);
    m_stdRed = Variation(spectrum, 2);
}

double CFourier::Variation(const Complex* spectrum, int32_t channel) const {
    const Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
    const int32_t dc = FrequencyIndex(0, 0);
    double sum = 0.0;
    for (int32_t i = 0; i < m_planeSize; ++i)
        if (i != dc) sum += plane[i].SquaredMagnitude();
    return std::sqrt(sum);
}

double CFourier::DcValue(const Complex* spectrum, int32_t channel) const {
    return spectrum[static_cast<ptrdiff_t>(channel) * m_planeSize + FrequencyIndex(0, 0)].re;
}

double CFourier::PowerRatio(const Complex* spectrum, int32_t channel) const {
    if (m_planeSize == 0) return 0.0;
    const Complex* plane = spectrum + static_cast<ptrdiff_t>(channel) * m_planeSize;
    const int32_t dc = FrequencyIndex(0, 0);
    double smallest = plane[0].SquaredMagnitude();
    double largest = smallest;
    for (int32_t i = 0; i < m_planeSize; ++i) {
        if (i == dc) continue;
        const double s = plane[i].SquaredMagnitude();
        if (s < smallest) smallest = s;
        if (s > largest) largest = s;
    }
    return smallest / largest;
}

double CFourier::Mean(int32_t channel) const {
    switch (channel) {
        case 0:
            return m_meanBlue;
        case 1:
            return m_meanGreen;
        case 2:
            return m_meanRed;
        default:
            return 0.0;
    }
}

double CFourier::Deviation(int32_t channel) const {
    switch (channel) {
        case 0:
            return m_stdBlue;
        case 1:
            return m_stdGreen;
        case 2:
            return m_stdRed;
        default:
            return 0.0;
    }
}

template void CFourier::ProjectFrequency<false>(const uint8_t*, int32_t, int32_t, int32_t,
                                                uint32_t*) const;
template void CFourier::ProjectFrequency<true>(const uint8_t*, int32_t, int32_t, int32_t,
                                               uint32_t*) const;
template Complex CFourier::HistogramValue<false>(const uint32_t*, int32_t) const;
template Complex CFourier::HistogramValue<true>(const uint32_t*, int32_t) const;
template void CFourier::TransformLine<false>(const uint8_t*, Complex*, uint8_t*, int32_t, int32_t,
                                             int32_t, uint32_t*) const;
template void CFourier::TransformLine<true>(const uint8_t*, Complex*, uint8_t*, int32_t, int32_t,
                                            int32_t, uint32_t*) const;
template void CFourier::ProjectPixel<false>(const Complex*, int32_t, int32_t, Complex*) const;
template void CFourier::ProjectPixel<true>(const Complex*, int32_t, int32_t, Complex*) const;
template double CFourier::AccumulatorValue<false>(const Complex*, int32_t) const;
template double CFourier::AccumulatorValue<true>(const Complex*, int32_t) const;
template void CFourier::InverseLine<false>(double*, const Complex*, uint8_t*, int32_t, int32_t,
                                           int32_t, Complex*) const;
template void CFourier::InverseLine<true>(double*, const Complex*, uint8_t*, int32_t, int32_t,
                                          int32_t, Complex*) const;
