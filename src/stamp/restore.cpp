#include "stamp/restore.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <future>
#include <limits>
#include <new>
#include <thread>

#include "fourier/fourier.h"
#include "platform/memory_block.h"
#include "platform/user_interface.h"
#include "stamp/restore_methods.h"
#include "stamp/restore_parts.h"

bool ReportFraction(const RestoreProgress& progress, double fraction) {
    return !progress || progress(fraction);
}

bool AllFinite(const std::vector<double>& values) {
    for (double v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

int32_t WrapIndex(int32_t v, int32_t n) {
    const int32_t r = v % n;
    return r < 0 ? r + n : r;
}

int RunPlanes(const std::function<bool(int32_t plane, std::atomic<double>& fraction,
                                       const std::atomic<bool>& stop)>& work,
              const RestoreProgress& progress) {
    std::array<std::atomic<double>, 3> fractions{};
    std::atomic<bool> stop{false};
    std::array<std::future<bool>, 3> done;
    // The planes share the machine's cores; a plane beyond them waits for one.
    const int32_t threads =
        std::clamp(static_cast<int32_t>(std::thread::hardware_concurrency()), 1, 3);
    std::atomic<int32_t> next{0};
    auto worker = [&]() {
        bool all = true;
        for (int32_t c; (c = next.fetch_add(1)) < 3;) all = work(c, fractions[c], stop) && all;
        return all;
    };
    for (int32_t t = 0; t < threads; ++t) done[t] = std::async(std::launch::async, worker);
    bool finished = true;
    std::exception_ptr failure;
    for (int32_t t = 0; t < threads; ++t) {
        while (done[t].wait_for(std::chrono::milliseconds(30)) != std::future_status::ready)
            if (!stop &&
                !ReportFraction(progress, (fractions[0] + fractions[1] + fractions[2]) / 3))
                stop = true;
        try {
            finished = done[t].get() && finished;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
    if (stop || !finished) return kRestoreCancelled;
    return ReportFraction(progress, 1.0) ? 1 : kRestoreCancelled;
}

bool CPlanes::Allocate(int32_t w, int32_t h) {
    try {
        values.assign(3 * static_cast<size_t>(w) * static_cast<size_t>(h), 0.0);
    } catch (const std::bad_alloc&) {
        values.clear();
        width = height = 0;
        return false;
    }
    width = w;
    height = h;
    return true;
}

int PlanesFromPicture(const DibHandle& dib, CPlanes& planes) {
    if (!IsWholePicture(dib)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24) {
        ShowMessage("Only 24-bit pictures can be restored.");
        return 0;
    }
    if (!planes.Allocate(d.size.cx, d.size.cy)) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    const int32_t stride = RowBytes(d.size.cx * 24);
    const uint8_t* pixels = dib.Data() + d.pixelOffset;
    for (int32_t c = 0; c < 3; ++c) {
        double* plane = planes.Plane(c);
        for (int32_t y = 0; y < d.size.cy; ++y)
            for (int32_t x = 0; x < d.size.cx; ++x)
                plane[static_cast<size_t>(y) * d.size.cx + x] =
                    pixels[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x) + c];
    }
    return 1;
}

int PlanesToPicture(const CPlanes& planes, DibHandle& dib) {
    if (!IsWholePicture(dib)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    const PictureDescription d = DescribePicture(dib.Data());
    if (d.bitCount != 24 || d.size.cx != planes.width || d.size.cy != planes.height ||
        planes.IsEmpty()) {
        ShowMessage("The restored planes do not fit the picture.");
        return 0;
    }
    const int32_t stride = RowBytes(d.size.cx * 24);
    uint8_t* pixels = dib.Data() + d.pixelOffset;
    for (int32_t c = 0; c < 3; ++c) {
        const double* plane = planes.Plane(c);
        for (int32_t y = 0; y < d.size.cy; ++y)
            for (int32_t x = 0; x < d.size.cx; ++x)
                pixels[static_cast<size_t>(y) * stride + 3 * static_cast<size_t>(x) + c] =
                    ByteFromReal(plane[static_cast<size_t>(y) * d.size.cx + x]);
    }
    return 1;
}

int ValidateRestoreSettings(const CRestoreSettings& settings) {
    const CRestoreMethodRow& row = RestoreMethodRow(settings.method);
    if (row.hasStrength && !settings.autoStrength &&
        !(std::isfinite(settings.strength) && settings.strength >= 0.0)) {
        ShowMessage("The strength must be a finite number of at least 0, or automatic.");
        return 0;
    }
    if (row.hasIterations &&
        (settings.iterations < 0 || settings.iterations > kMaxRestoreIterations)) {
        ShowMessage(
            Format("The number of iterations must be 0 (automatic) to %i.", kMaxRestoreIterations));
        return 0;
    }
    return 1;
}

int RestorePlanes(const CPlanes& input, const CKernel& kernel, const CRestoreSettings& settings,
                  CPlanes& output, const RestoreProgress& progress, CRestoreReport* report) {
    if (input.IsEmpty()) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    if (!CheckKernel(kernel, input.width, input.height)) return 0;
    if (!ValidateRestoreSettings(settings)) return 0;
    if (!AllFinite(input.values)) {
        ShowMessage("The picture holds values that are not finite numbers.");
        return 0;
    }
    const int32_t w = input.width, h = input.height;
    CRestoreReport done;
    CRestoreWork work;
    int result = 0;
    try {
        work.noise = EstimateNoise(input);
        const bool cyclic = !settings.taper || PictureWraps(input, kernel);
        MakeWorkDomain(input, kernel, cyclic, work);
        done.workWidth = work.planes.width;
        done.workHeight = work.planes.height;
        done.cyclic = cyclic;
        std::array<double, 3> sorted = work.noise;
        std::sort(sorted.begin(), sorted.end());
        done.noise = sorted[1];
        result = RestoreMethodRow(settings.method).run(work, kernel, settings, progress, done);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    if (result != 1) return result;
    if (!AllFinite(work.planes.values)) {
        ShowMessage("The restoration gave values that are not finite numbers; nothing changed.");
        return 0;
    }
    CPlanes restored;
    if (!restored.Allocate(w, h)) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    const int32_t workWidth = work.planes.width;
    for (int32_t c = 0; c < 3; ++c)
        for (int32_t y = 0; y < h; ++y) {
            const double* from = work.planes.Plane(c) + static_cast<size_t>(y) * workWidth;
            std::copy(from, from + w, restored.Plane(c) + static_cast<size_t>(y) * w);
        }
    output = std::move(restored);
    if (report != nullptr) *report = done;
    return 1;
}

int RestorePicture(DibHandle& dib, const CKernel& kernel, const CRestoreSettings& settings,
                   const RestoreProgress& progress, CRestoreReport* report) {
    // Refused before the work when the machine cannot hold it: about 100 bytes a pixel of
    // the picture extended by the kernel's margins (planes, their spectra, the estimates),
    // as measured on pictures of a few megapixels.
    if (!dib.IsNull() && IsWholePicture(dib)) {
        const CSize size = DescribePicture(dib.Data()).size;
        const uint64_t w = static_cast<uint64_t>(size.cx) + kernel.width + 32;
        const uint64_t h = static_cast<uint64_t>(size.cy) + kernel.height + 32;
        if (!HasMemoryFor(Format("Restoring a %i x %i picture", size.cx, size.cy), 100 * w * h))
            return 0;
    }
    CPlanes input, output;
    if (!PlanesFromPicture(dib, input)) return 0;
    const int result = RestorePlanes(input, kernel, settings, output, progress, report);
    if (result != 1) return result;
    return PlanesToPicture(output, dib);
}

int BlurPlanes(const CPlanes& input, const CKernel& kernel, bool cyclic, CPlanes& output) {
    if (input.IsEmpty()) {
        ShowMessage("There is no picture to blur.");
        return 0;
    }
    if (!CheckKernel(kernel, input.width, input.height)) return 0;
    const int32_t w = input.width, h = input.height;
    CPlanes out;
    if (!out.Allocate(w, h)) {
        ShowMessage("Could not allocate memory for blurring");
        return 0;
    }
    auto index = [&](int32_t v, int32_t n) {
        return cyclic ? WrapIndex(v, n) : std::clamp(v, 0, n - 1);
    };
    for (int32_t ky = 0; ky < kernel.height; ++ky)
        for (int32_t kx = 0; kx < kernel.width; ++kx) {
            const double value = kernel.At(kx, ky);
            if (value == 0.0) continue;
            const int32_t dx = kx - kernel.peakX, dy = ky - kernel.peakY;
            for (int32_t c = 0; c < 3; ++c) {
                const double* in = input.Plane(c);
                double* to = out.Plane(c);
                for (int32_t y = 0; y < h; ++y) {
                    const double* row = in + static_cast<size_t>(index(y - dy, h)) * w;
                    double* target = to + static_cast<size_t>(y) * w;
                    for (int32_t x = 0; x < w; ++x) target[x] += value * row[index(x - dx, w)];
                }
            }
        }
    output = std::move(out);
    return 1;
}

int RatioRestorePlanes(const CPlanes& input, const CPlanes& good, const CPlanes& blurred,
                       CPlanes& output) {
    if (input.IsEmpty() || good.IsEmpty() || blurred.IsEmpty()) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    if (good.width != input.width || good.height != input.height || blurred.width != input.width ||
        blurred.height != input.height) {
        ShowMessage("The Good, the Blurred and the Input picture must have one size.");
        return 0;
    }
    try {
        CPlaneFftD fft(input.width, input.height);
        CPlanes out;
        if (!out.Allocate(input.width, input.height)) throw std::bad_alloc();
        std::vector<Complex> g(fft.Halves()), b(fft.Halves());
        const double norm = 1.0 / static_cast<double>(fft.Reals());
        for (int32_t c = 0; c < 3; ++c) {
            std::copy(good.Plane(c), good.Plane(c) + good.PlaneSize(), fft.RealData());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), g.begin());
            std::copy(blurred.Plane(c), blurred.Plane(c) + blurred.PlaneSize(), fft.RealData());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), b.begin());
            std::copy(input.Plane(c), input.Plane(c) + input.PlaneSize(), fft.RealData());
            fft.Forward();
            for (size_t i = 0; i < fft.Halves(); ++i) {
                const bool zero = b[i].re == 0.0 && b[i].im == 0.0;
                fft.Half()[i] = zero ? Complex(0.0, 0.0) : fft.Half()[i] * (g[i] / b[i]);
            }
            fft.Inverse();
            for (size_t i = 0; i < out.PlaneSize(); ++i) out.Plane(c)[i] = fft.RealData()[i] * norm;
        }
        if (!AllFinite(out.values)) {
            ShowMessage("The ratio gave values that are not finite numbers.");
            return 0;
        }
        output = std::move(out);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for restoring");
        return 0;
    }
    return 1;
}

double PlanesPsnr(const CPlanes& a, const CPlanes& b) {
    if (a.values.size() != b.values.size() || a.values.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.values.size(); ++i) {
        const double d = a.values[i] - b.values[i];
        sum += d * d;
    }
    if (sum == 0.0) return std::numeric_limits<double>::infinity();
    const double mse = sum / static_cast<double>(a.values.size());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}
