#include "stamp/deconvolve.h"

#include <cmath>

#include "platform/memory_block.h"
#include "platform/user_interface.h"
#include "stamp/rubber_stamp.h"

namespace {

// a / b, or 0 where b is 0 or the quotient is not finite.
Complex GuardedQuotient(const Complex& a, const Complex& b) {
    const double d = b.re * b.re + b.im * b.im;
    if (d == 0.0) return Complex(0.0, 0.0);
    const Complex q((a.re * b.re + a.im * b.im) / d, (a.im * b.re - a.re * b.im) / d);
    if (!std::isfinite(q.re) || !std::isfinite(q.im)) return Complex(0.0, 0.0);
    return q;
}

size_t SpectrumEntries(const CFourier& engine) {
    return 3 * static_cast<size_t>(engine.PlaneSize());
}

// The header of each file in turn; "File not found: " and 0 for the first that cannot be
// read.
bool ReadHeaders(const CFourier& engine, const std::string* files, CSize* halves, int count) {
    for (int i = 0; i < count; ++i)
        if (engine.ReadFourierFileSize(files[i], halves[i]) != 1) {
            ShowMessage("File not found: " + files[i]);
            return false;
        }
    return true;
}

bool ReadWhole(const CFourier& engine, const std::string& file, Complex* spectrum) {
    if (engine.ReadFourierFile(file, spectrum) == 1) return true;
    ShowMessage("File not right: " + file);
    return false;
}

// One zero-filled work spectrum, or the message and an empty block.
CMemoryBlock WorkSpectrum(const CFourier& engine) {
    CMemoryBlock q = CMemoryBlock::Allocate(SpectrumEntries(engine) * sizeof(Complex));
    if (q.IsNull()) ShowMessage("Could not allocate memory for CFourier");
    return q;
}

template <bool kPowerOfTwo>
void SpectrumToKernelWith(CFourier& engine, const Complex* spectrum, double* array,
                          uint8_t* flags) {
    const int32_t w = engine.Width(), h = engine.Height();
    const int32_t stride = engine.RowStride();
    engine.ClearMap(flags, 0);
    if (engine.Length() == 0) {
        // No projection for this size: the FFT engine transforms all three planes back
        // (the array holds a whole real picture) and the blue one is kept.
        engine.InverseTransform(array, spectrum, flags);
    }
    for (int32_t i = 0; i < h && engine.Length() != 0; ++i) {
        const int32_t y = engine.HalfHeight() + ZigZag(i);
        for (int32_t u = 0; u < w; ++u) {
            const int32_t x = engine.HalfWidth() + ZigZag(u);
            if (kPowerOfTwo)
                engine.InversePixelPowerOfTwo(array, spectrum, flags, x, y, 0);
            else
                engine.InversePixel(array, spectrum, flags, x, y, 0);
        }
    }
    // Element y * W + x from bitmap position y * stride + 3x: every source lies at or after
    // its destination, so the copy in this order is safe in place.
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            array[static_cast<size_t>(y) * w + x] =
                array[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x)];
}

}  // namespace

int DeconvolveFromFiles(const CFourier& engine, const std::string& goodFile,
                        const std::string& blurredFile, const std::string& inputFile,
                        Complex* output) {
    const std::string files[3] = {goodFile, blurredFile, inputFile};
    CSize halves[3];
    if (!ReadHeaders(engine, files, halves, 3)) return 0;
    const int32_t hw = engine.HalfWidth(), hh = engine.HalfHeight();
    for (const CSize& half : halves)
        if (!(half == engine.HeaderPair())) {
            ShowMessage(
                Format("Sizes error: HSize %i, %i, GoodFileSize %i, %i, BlurredFileSize "
                       "%i, %i, InputFileSize %i, %i",
                       hw, hh, halves[0].cx, halves[0].cy, halves[1].cx, halves[1].cy, halves[2].cx,
                       halves[2].cy));
            return 0;
        }
    CMemoryBlock block = WorkSpectrum(engine);
    if (block.IsNull()) return 0;
    Complex* q = block.As<Complex>();
    if (!ReadWhole(engine, goodFile, q)) return 0;
    if (!ReadWhole(engine, blurredFile, output)) return 0;
    const size_t entries = SpectrumEntries(engine);
    for (size_t i = 0; i < entries; ++i) q[i] = GuardedQuotient(q[i], output[i]);
    if (!ReadWhole(engine, inputFile, output)) return 0;
    for (size_t i = 0; i < entries; ++i) output[i] = output[i] * q[i];
    return 1;
}

int MakeStampFromFiles(CFourier& engine, const std::string& goodFile,
                       const std::string& blurredFile, const std::string& stampFile, Complex* work,
                       uint8_t* flags) {
    const std::string files[2] = {goodFile, blurredFile};
    CSize halves[2];
    if (!ReadHeaders(engine, files, halves, 2)) return 0;
    const int32_t hw = engine.HalfWidth(), hh = engine.HalfHeight();
    for (const CSize& half : halves)
        if (!(half == engine.HeaderPair())) {
            ShowMessage(
                Format("Sizes error: HSize %i, %i, GoodFileSize %i, %i, BlurredFileSize %i, %i", hw,
                       hh, halves[0].cx, halves[0].cy, halves[1].cx, halves[1].cy));
            return 0;
        }
    CMemoryBlock block = WorkSpectrum(engine);
    if (block.IsNull()) return 0;
    Complex* q = block.As<Complex>();
    if (!ReadWhole(engine, goodFile, q)) return 0;
    if (!ReadWhole(engine, blurredFile, work)) return 0;
    const size_t entries = SpectrumEntries(engine);
    for (size_t i = 0; i < entries; ++i) q[i] = GuardedQuotient(q[i], work[i]);
    engine.ImpulseSpectrum(engine.HalfWidth(), engine.HalfHeight(), work);
    for (size_t i = 0; i < entries; ++i) work[i] = work[i] * q[i];
    // The ratio is used up: its room holds the kernel now.
    double* kernel = block.As<double>();
    SpectrumToKernelPowerOfTwo(engine, work, kernel, flags);
    WriteRubberStamp(stampFile, kernel, engine.Width(), engine.Height(), engine.HalfWidth(),
                     engine.HalfHeight());
    return 1;
}

void SpectrumToKernel(CFourier& engine, const Complex* spectrum, double* array, uint8_t* flags) {
    SpectrumToKernelWith<false>(engine, spectrum, array, flags);
}

void SpectrumToKernelPowerOfTwo(CFourier& engine, const Complex* spectrum, double* array,
                                uint8_t* flags) {
    SpectrumToKernelWith<true>(engine, spectrum, array, flags);
}
