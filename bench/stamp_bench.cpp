// Timings of the stamp convolution of Use Stamp and of the blur on a 640 x 480 picture: the
// untrimmed 640 x 480 stamp (which the cost rule sends to the FFT), a 21 x 21 stamp by the
// direct sums on one thread and on two, and the blur's serial loop against its parallel one.
// Compare the figures of one run side by side; the machine's other load changes them all.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/dib.h"
#include "platform/user_interface.h"
#include "stamp/blur.h"
#include "stamp/stamp_convolve.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

struct CPicture {
    int32_t stride = RowBytes(kWidth * 24);
    std::vector<uint8_t> bytes;
    std::vector<double> real;
    CPicture() : bytes(static_cast<size_t>(stride) * kHeight), real(bytes.size()) {
        uint32_t seed = 7;
        for (uint8_t& b : bytes) {
            seed = seed * 1664525u + 1013904223u;
            b = static_cast<uint8_t>(seed >> 24);
        }
    }
};

// A stamp of w x h values falling off from its centre, the peak there.
RubberStamp Stamp(int32_t w, int32_t h) {
    RubberStamp s;
    s.width = w;
    s.height = h;
    s.peakX = w / 2;
    s.peakY = h / 2;
    s.values.resize(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double dx = x - s.peakX, dy = y - s.peakY;
            s.Values()[static_cast<size_t>(y) * w + x] = 1.0 / (1.0 + dx * dx + dy * dy);
        }
    return s;
}

void Convolve(benchmark::State& state, int32_t side, int32_t sideY, CStampConvolution method) {
    CPicture p;
    const RubberStamp stamp = Stamp(side, sideY);
    const CStampRect rect{0, sideY, side, 0};
    const int32_t threads = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        ConvolveWithStamp(p.bytes.data(), p.real.data(), kWidth, kHeight, p.stride, stamp, rect,
                          stamp.peakX, stamp.peakY, method, threads);
        benchmark::DoNotOptimize(p.real.data());
    }
}

void BM_UseStampUntrimmed640x480(benchmark::State& state) {
    Convolve(state, 640, 480, CStampConvolution::Automatic);
}
void BM_UseStamp21x21Direct(benchmark::State& state) {
    Convolve(state, 21, 21, CStampConvolution::Direct);
}
void BM_UseStamp21x21Automatic(benchmark::State& state) {
    Convolve(state, 21, 21, CStampConvolution::Automatic);
}

void BM_BlurSerial(benchmark::State& state) {
    CPicture p;
    for (auto _ : state) {
        BlurPictureSerial(p.bytes.data(), p.real.data(), kWidth, kHeight, p.stride,
                          CBlurParameters{3, 40, 0.9, false});
        benchmark::DoNotOptimize(p.real.data());
    }
}

void BM_BlurParallel(benchmark::State& state) {
    CPicture p;
    const int32_t threads = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        BlurPicture(p.bytes.data(), p.real.data(), kWidth, kHeight, p.stride,
                    CBlurParameters{3, 40, 0.9, false}, threads);
        benchmark::DoNotOptimize(p.real.data());
    }
}

}  // namespace

BENCHMARK(BM_UseStampUntrimmed640x480)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_UseStamp21x21Direct)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UseStamp21x21Automatic)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlurSerial)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BlurParallel)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
