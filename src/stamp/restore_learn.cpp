// Learning a blur kernel from an example pair by least squares.
#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <algorithm>
#include <new>

#include "platform/user_interface.h"
#include "stamp/restore_parts.h"

int LearnKernel(const CPlanes& good, const CPlanes& blurred, int32_t size, CKernel& kernel,
                const RestoreProgress& progress) {
    if (good.IsEmpty() || blurred.IsEmpty()) {
        ShowMessage("Learning a kernel needs a Good and a Blurred picture.");
        return 0;
    }
    if (good.width != blurred.width || good.height != blurred.height) {
        ShowMessage(Format("The Good and the Blurred picture differ in size: %i x %i and %i x %i.",
                           good.width, good.height, blurred.width, blurred.height));
        return 0;
    }
    if (size < 1 || size > kMaxKernelSize) {
        ShowMessage(Format("The kernel size must be 1 to %i, not %i.", kMaxKernelSize, size));
        return 0;
    }
    const int32_t w = good.width, h = good.height;
    if (size > w || size > h) {
        ShowMessage(
            Format("The kernel (%i x %i) is larger than the picture (%i x %i).", size, size, w, h));
        return 0;
    }
    if (!AllFinite(good.values) || !AllFinite(blurred.values)) {
        ShowMessage("The example pictures hold values that are not finite numbers.");
        return 0;
    }
    try {
        // Normal equations of min sum (B - K * G)^2 over the planes: for every pair of
        // offsets d, e of the support, sum over e of R(d - e) K(e) = C(d), with R the
        // Good planes' cyclic autocorrelation and C the cross-correlation of Blurred with
        // Good, both summed over the planes and computed by FFT.
        CPlaneFftD fft(w, h);
        std::vector<Complex> power(fft.Halves(), Complex(0.0, 0.0)), cross = power;
        std::vector<Complex> g(fft.Halves());
        for (int32_t c = 0; c < 3; ++c) {
            std::copy(good.Plane(c), good.Plane(c) + good.PlaneSize(), fft.RealData());
            fft.Forward();
            std::copy(fft.Half(), fft.Half() + fft.Halves(), g.begin());
            std::copy(blurred.Plane(c), blurred.Plane(c) + blurred.PlaneSize(), fft.RealData());
            fft.Forward();
            const Complex* b = fft.Half();
            for (size_t i = 0; i < fft.Halves(); ++i) {
                const Complex gc(g[i].re, -g[i].im);
                power[i] += g[i] * gc;
                cross[i] += b[i] * gc;
            }
        }
        const double norm = 1.0 / static_cast<double>(fft.Reals());
        std::copy(power.begin(), power.end(), fft.Half());
        fft.Inverse();
        std::vector<double> auto_(fft.RealData(), fft.RealData() + fft.Reals());
        std::copy(cross.begin(), cross.end(), fft.Half());
        fft.Inverse();
        std::vector<double> crossReal(fft.RealData(), fft.RealData() + fft.Reals());
        for (double& v : auto_) v *= norm;
        for (double& v : crossReal) v *= norm;
        if (!ReportFraction(progress, 0.1)) return kRestoreCancelled;

        const int32_t half = size / 2;
        const Eigen::Index n = static_cast<Eigen::Index>(size) * size;
        Eigen::MatrixXd a(n, n);
        Eigen::VectorXd rhs(n);
        auto at = [&](const std::vector<double>& r, int32_t dx, int32_t dy) {
            return r[static_cast<size_t>(WrapIndex(dy, h)) * static_cast<size_t>(w) +
                     WrapIndex(dx, w)];
        };
        for (Eigen::Index i = 0; i < n; ++i) {
            const int32_t dxi = static_cast<int32_t>(i % size) - half;
            const int32_t dyi = static_cast<int32_t>(i / size) - half;
            rhs(i) = at(crossReal, dxi, dyi);
            for (Eigen::Index j = 0; j <= i; ++j) {
                const int32_t dxj = static_cast<int32_t>(j % size) - half;
                const int32_t dyj = static_cast<int32_t>(j / size) - half;
                a(i, j) = at(auto_, dxi - dxj, dyi - dyj);
            }
        }
        // A trace of ridge keeps the factorisation defined for pictures with little detail
        // without changing a well-posed answer measurably.
        const double ridge = 1e-12 * auto_[0];
        for (Eigen::Index i = 0; i < n; ++i) a(i, i) += ridge;
        if (!ReportFraction(progress, 0.2)) return kRestoreCancelled;

        Eigen::LLT<Eigen::Ref<Eigen::MatrixXd>, Eigen::Lower> llt(a);
        if (llt.info() != Eigen::Success || !(auto_[0] > 0.0)) {
            ShowMessage("The Good picture has too little detail to learn a kernel from it.");
            return 0;
        }
        const Eigen::VectorXd k = llt.solve(rhs);
        if (!ReportFraction(progress, 0.95)) return kRestoreCancelled;

        CKernel learnt;
        learnt.width = learnt.height = size;
        learnt.peakX = learnt.peakY = half;
        learnt.values.assign(k.data(), k.data() + n);
        if (!AllFinite(learnt.values)) {
            ShowMessage("The Good picture has too little detail to learn a kernel from it.");
            return 0;
        }
        kernel = std::move(learnt);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for learning the kernel");
        return 0;
    }
    ReportFraction(progress, 1.0);
    return 1;
}
