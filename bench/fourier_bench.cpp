// Timings of the Fourier engines on a real photograph.
//
// Pictures: 160 x 120 is samples/coffee_160x120.bmp as it stands; the other sizes are
// samples/coffee.jpg (600 x 400) resampled bilinearly to the size. Every benchmark reports
// the process's peak resident memory (run one benchmark per process to read it per case,
// as scripts/bench.sh does).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "fourier/fft_engine.h"
#include "fourier/fourier.h"
#include "fourier/fourier_plan.h"
#include "fourier/spectrum_image.h"
#include "image/bmp_file.h"
#include "image/dib.h"
#include "image/jpeg_file.h"

namespace {

struct CPicture {
    int32_t width = 0, height = 0, stride = 0, length = 0;
    std::vector<uint8_t> pixels;
};

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "fourier_bench: %s\n", what.c_str());
    std::exit(1);
}

// Rows bottom-up, B G R, each row padded to 4 bytes, as the pictures are held.
CPicture Load(int32_t width, int32_t height) {
    CPicture p;
    p.width = width;
    p.height = height;
    p.stride = RowBytes(24 * width);
    p.length = std::lcm(width, height);
    p.pixels.assign(static_cast<size_t>(p.stride) * static_cast<size_t>(height), 0);

    DibHandle dib;
    CSize size;
    const std::string samples = ZELVANTO_SAMPLES_DIR;
    if (width == 160 && height == 120) {
        if (ReadBmpFile(samples + "/coffee_160x120.bmp", dib, size) != 1) Fail("no 160x120 bmp");
    } else if (ReadJpegFile(samples + "/coffee.jpg", dib, size) != 1) {
        Fail("no coffee.jpg");
    }
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24) Fail("not a 24-bit picture");
    const uint8_t* src = dib.Data() + d.pixelOffset;
    const int32_t srcStride = RowBytes(24 * size.cx);
    for (int32_t y = 0; y < height; ++y) {
        const double sy = std::max(0.0, (y + 0.5) * size.cy / height - 0.5);
        const int32_t y0 = std::min(static_cast<int32_t>(sy), size.cy - 1);
        const int32_t y1 = std::min(y0 + 1, size.cy - 1);
        const double fy = sy - y0;
        for (int32_t x = 0; x < width; ++x) {
            const double sx = std::max(0.0, (x + 0.5) * size.cx / width - 0.5);
            const int32_t x0 = std::min(static_cast<int32_t>(sx), size.cx - 1);
            const int32_t x1 = std::min(x0 + 1, size.cx - 1);
            const double fx = sx - x0;
            for (int32_t c = 0; c < 3; ++c) {
                auto at = [&](int32_t xx, int32_t yy) {
                    return static_cast<double>(src[c + 3 * xx + yy * srcStride]);
                };
                const double v = (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x1, y0)) +
                                 fy * ((1 - fx) * at(x0, y1) + fx * at(x1, y1));
                p.pixels[c + 3 * x + y * p.stride] = ByteFromReal(v);
            }
        }
    }
    return p;
}

void ReportMemory(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct CBlocks {
    std::vector<Complex> spectrum;
    std::vector<uint8_t> map;
    std::vector<double> real;
    explicit CBlocks(const CPicture& p)
        : spectrum(3 * static_cast<size_t>(p.width) * static_cast<size_t>(p.height), {0, 0}),
          map(static_cast<size_t>(p.width) * static_cast<size_t>(p.height), 0),
          real(p.pixels.size(), 0.0) {}
};

enum class Kind { Forward, Inverse };

// Projection engine: threads 0 means every hardware thread. The counter ns_per_pixel_line
// is the time per pixel (all three channels) of each line per core: the cost of one
// histogram addition with the three channels packed into one word.
void Projection(benchmark::State& state, int32_t w, int32_t h, Kind kind, int32_t threads,
                bool serial) {
    const CPicture p = Load(w, h);
    CFourier engine;
    engine.SetUp(w, h, p.stride, h, p.length);
    CFourier::SetEngine(FourierEngine::Projection);
    CFourier::SetThreadCount(threads);
    CBlocks b(p);
    if (kind == Kind::Inverse) engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data());
    for (auto _ : state) {
        bool done;
        if (kind == Kind::Forward)
            done = serial ? engine.TransformSerial(p.pixels.data(), b.spectrum.data(), b.map.data())
                          : engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data());
        else
            done = serial ? engine.InverseTransformSerial(b.real.data(), b.spectrum.data(),
                                                          b.map.data())
                          : engine.InverseTransform(b.real.data(), b.spectrum.data(), b.map.data());
        if (!done) state.SkipWithError("transform failed");
        benchmark::DoNotOptimize(b.spectrum.data());
        benchmark::DoNotOptimize(b.real.data());
    }
    const CProjectionPlan plan(engine);
    const double lines =
        static_cast<double>((kind == Kind::Forward ? plan.Forward() : plan.Inverse()).lines.size());
    const double cores = serial ? 1.0 : static_cast<double>(CFourier::ThreadCount());
    state.counters["lines"] = lines;
    state.counters["threads"] = cores;
    state.counters["ns_per_pixel_line"] = benchmark::Counter(
        lines * w * h / cores * (serial ? 3.0 : 1.0),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    ReportMemory(state);
}

void Fft(benchmark::State& state, int32_t w, int32_t h, Kind kind) {
    const CPicture p = Load(w, h);
    CFourier engine;
    // The FFT engine alone (N = 0): any size, as a photograph comes.
    engine.SetUp(w, h, p.stride, h, 0);
    CFourier::SetEngine(FourierEngine::Fft);
    CFourier::SetThreadCount(0);
    CBlocks b(p);
    // Planning happens here, outside the timing.
    engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data());
    for (auto _ : state) {
        const bool done =
            kind == Kind::Forward
                ? engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data())
                : engine.InverseTransform(b.real.data(), b.spectrum.data(), b.map.data());
        if (!done) state.SkipWithError("transform failed");
        benchmark::DoNotOptimize(b.spectrum.data());
        benchmark::DoNotOptimize(b.real.data());
    }
    ReportMemory(state);
}

// The six bare FFTW transforms a complete run performs (three channels each way).
void FftBare(benchmark::State& state, int32_t w, int32_t h) {
    CFftPlan plan(w, h, CFourier::ThreadCount());
    for (auto _ : state) {
        state.PauseTiming();
        plan.ClearBuffer();
        state.ResumeTiming();
        for (int c = 0; c < 3; ++c) plan.ExecuteForwardOnly();
        for (int c = 0; c < 3; ++c) plan.ExecuteInverseOnly();
    }
    ReportMemory(state);
}

// A complete Fourier run with the FFT engine: forward, one modification (a distribution
// and the normalisation of each channel), inverse and the bytes.
void FftRun(benchmark::State& state, int32_t w, int32_t h) {
    CPicture p = Load(w, h);
    CFourier engine;
    engine.SetUp(w, h, p.stride, h, 0);
    CFourier::SetEngine(FourierEngine::Fft);
    CFourier::SetThreadCount(0);
    engine.MeasurePicture(p.pixels.data());
    CBlocks b(p);
    std::vector<uint8_t> out(p.pixels.size(), 0);
    engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data());
    for (auto _ : state) {
        engine.Transform(p.pixels.data(), b.spectrum.data(), b.map.data());
        engine.ApplyDistribution(b.spectrum.data(), 2.0, &CFourier::DistributionR1);
        for (int32_t c = 0; c < 3; ++c)
            engine.Normalise(b.spectrum.data(), c, engine.Mean(c), engine.Deviation(c));
        engine.InverseTransform(b.real.data(), b.spectrum.data(), b.map.data());
        engine.RealsToBytes(out.data(), b.real.data());
        benchmark::DoNotOptimize(out.data());
    }
    ReportMemory(state);
}

// The spectrum window's image of the picture's grey (two single-precision transforms, the
// periodic component's and the log scale), beside the engine's forward transform of the
// three channels.
void SpectrumImage(benchmark::State& state, int32_t w, int32_t h) {
    const CPicture p = Load(w, h);
    DibHandle dib;
    if (NewGreyPicture(w, h, dib) != 1) Fail("no memory for the picture");
    std::copy(p.pixels.begin(), p.pixels.end(), dib.Data() + kInfoHeaderBytes);
    CSpectrumImage image;
    for (auto _ : state) {
        if (MakeSpectrumImage(dib, image) != 1) Fail("no spectrum image");
        benchmark::DoNotOptimize(image.values.data());
    }
    ReportMemory(state);
}

std::string Name(const char* what, int32_t w, int32_t h) {
    return std::string(what) + "/" + std::to_string(w) + "x" + std::to_string(h);
}

void Register() {
    using benchmark::RegisterBenchmark;
    const std::pair<int32_t, int32_t> sizes[] = {{160, 120}, {320, 240}, {640, 480}};
    for (const auto& [w, h] : sizes) {
        RegisterBenchmark(Name("projection_forward", w, h).c_str(), Projection, w, h, Kind::Forward,
                          0, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("projection_inverse", w, h).c_str(), Projection, w, h, Kind::Inverse,
                          0, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("projection1_forward", w, h).c_str(), Projection, w, h,
                          Kind::Forward, 1, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        RegisterBenchmark(Name("projection1_inverse", w, h).c_str(), Projection, w, h,
                          Kind::Inverse, 1, false)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
        if (w <= 320) {  // the plain loops take minutes beyond
            RegisterBenchmark(Name("serial_forward", w, h).c_str(), Projection, w, h, Kind::Forward,
                              1, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1);
            RegisterBenchmark(Name("serial_inverse", w, h).c_str(), Projection, w, h, Kind::Inverse,
                              1, true)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(1);
        }
    }
    // Beside the smooth sizes, whole photographs: a phone's 4032 x 3024, the same less one
    // row and column (4031 = 29 x 139, 3023 prime: FFTW's plans for large primes), and
    // 6000 x 4000.
    const std::pair<int32_t, int32_t> fftSizes[] = {
        {160, 120}, {320, 240}, {640, 480}, {4096, 2048}, {4032, 3024}, {4031, 3023}, {6000, 4000}};
    for (const auto& [w, h] : fftSizes) {
        RegisterBenchmark(Name("fft_forward", w, h).c_str(), Fft, w, h, Kind::Forward)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("fft_inverse", w, h).c_str(), Fft, w, h, Kind::Inverse)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("fft_bare", w, h).c_str(), FftBare, w, h)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("fft_run", w, h).c_str(), FftRun, w, h)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        RegisterBenchmark(Name("spectrum_image", w, h).c_str(), SpectrumImage, w, h)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
