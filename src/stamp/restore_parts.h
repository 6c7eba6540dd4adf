#pragma once

// What the restoration's parts share: the work domain the methods solve on, the kernel's
// spectrum on it, and running the three planes in parallel. Only the restore_*.cpp files
// include this.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "fourier/plane_fft.h"
#include "stamp/restore.h"

// The picture laid on the domain a method solves on. The observed pixels are the
// observedWidth x observedHeight corner at the origin; beyond them (when not cyclic) lies a
// margin at least the kernel's size, whose values are unknown: the methods fit the blur of
// their estimate to the observed pixels only, so nothing is assumed about what the blur
// carried in from beyond the picture. When cyclic the observed picture is the whole domain
// and the blur wraps around its edges.
struct CRestoreWork {
    CPlanes planes;  // the picture on the domain (the margin holds a first guess); the
                     // restoration replaces it
    int32_t observedWidth = 0;
    int32_t observedHeight = 0;
    bool cyclic = true;
    std::array<double, 3> noise{};  // standard deviation of each plane's noise, grey levels

    bool Observed(int32_t x, int32_t y) const { return x < observedWidth && y < observedHeight; }
};

bool ReportFraction(const RestoreProgress& progress, double fraction);
bool AllFinite(const std::vector<double>& values);
int32_t WrapIndex(int32_t v, int32_t n);

// The half spectrum of the kernel laid cyclically on the transform's grid with its peak at
// (0, 0).
template <typename Real>
void KernelSpectrum(const CKernel& kernel, CPlaneFft<Real>& fft,
                    std::vector<typename CPlaneFft<Real>::Spectrum>& spectrum) {
    const int32_t w = fft.Width(), h = fft.Height();
    Real* real = fft.RealData();
    std::fill(real, real + fft.Reals(), Real(0));
    for (int32_t y = 0; y < kernel.height; ++y)
        for (int32_t x = 0; x < kernel.width; ++x) {
            const int32_t gx = WrapIndex(x - kernel.peakX, w), gy = WrapIndex(y - kernel.peakY, h);
            real[static_cast<size_t>(gy) * static_cast<size_t>(w) + gx] +=
                static_cast<Real>(kernel.At(x, y));
        }
    fft.Forward();
    spectrum.assign(fft.Half(), fft.Half() + fft.Halves());
}

// Runs work(plane, fraction) for the three planes in parallel threads; each sets its
// fraction done (0 to 1) as it goes and returns false to give up (it found the work stopped
// through stop). The progress callback is called on this thread only; when it gives false,
// stop becomes true. 1 when every plane finished, kRestoreCancelled when stopped; a
// std::bad_alloc in a plane is thrown again here.
int RunPlanes(const std::function<bool(int32_t plane, std::atomic<double>& fraction,
                                       const std::atomic<bool>& stop)>& work,
              const RestoreProgress& progress);

// Borders: the work domain of a picture and the kernel.
// Whether the picture looks as if its blur by the kernel wrapped around its edges: the seams
// between its opposite edges differ no more than neighbouring rows and columns inside it, or
// no more than the kernel's softening of the jump across them.
bool PictureWraps(const CPlanes& input, const CKernel& kernel);
// The domain: the picture itself when cyclic, else extended by a margin of the kernel's size
// (to sizes FFTW transforms fast), the margin filled by fading each edge into the opposite
// one. Throws std::bad_alloc.
void MakeWorkDomain(const CPlanes& input, const CKernel& kernel, bool cyclic, CRestoreWork& work);
int32_t FastSize(int32_t n);

// The methods, on the work domain in place. 1, 0 with a message, or kRestoreCancelled.
int WienerRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
                  const RestoreProgress& progress, CRestoreReport& report);
int LucyRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
                const RestoreProgress& progress, CRestoreReport& report);
int TvRestore(CRestoreWork& work, const CKernel& kernel, const CRestoreSettings& settings,
              const RestoreProgress& progress, CRestoreReport& report);
