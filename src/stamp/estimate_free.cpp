#include "stamp/estimate_free.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

#include "fourier/complex.h"
#include "fourier/parallel_ranges.h"
#include "fourier/plane_fft.h"
#include "platform/user_interface.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLevelScale = 0.70710678118654752440;  // 1/sqrt(2)
constexpr int32_t kTopKernelSize = 5;
// Values of the kernel below this fraction of its largest are pruned.
constexpr double kPruneFraction = 0.1;
// The half-quadratic splitting's penalty grows by this factor from 2 x the edge weight up to
// its end.
constexpr double kSplitGrowth = 2.0;
constexpr double kSplitEnd = 1e5;
// The L0 weight decays over the alternations of every level, carried from level to level,
// down to this.
constexpr double kEdgeWeightFloor = 1e-4;
constexpr int32_t kKernelCgSteps = 25;

// One real W x H plane and its half spectrum (fourier/plane_fft.h), with the copies in and
// out that the estimate makes of whole planes.
class CGridFft : public CPlaneFftD {
public:
    CGridFft(int32_t width, int32_t height, int32_t threads) : CPlaneFftD(width, height, threads) {}

    double* Real() { return RealData(); }

    // The spectrum of a real plane of Reals() values.
    void Spectrum(const std::vector<double>& plane, std::vector<Complex>& out) {
        std::copy(plane.begin(), plane.end(), RealData());
        Forward();
        out.assign(Half(), Half() + Halves());
    }
    // The real plane of a half spectrum, divided by W * H.
    void Plane(const std::vector<Complex>& spectrum, std::vector<double>& out) {
        std::copy(spectrum.begin(), spectrum.end(), Half());
        Inverse();
        const double scale = 1.0 / static_cast<double>(Reals());
        const double* real = RealData();
        out.resize(Reals());
        for (size_t i = 0; i < Reals(); ++i) out[i] = real[i] * scale;
    }
};

int32_t Wrap(int32_t v, int32_t n) {
    const int32_t r = v % n;
    return r < 0 ? r + n : r;
}

// The smallest size of at least n that is even and has no prime factor above 7.
int32_t FastSize(int32_t n) {
    for (int32_t m = std::max(n, 2);; ++m) {
        if ((m & 1) != 0) continue;
        int32_t r = m;
        for (int32_t p : {2, 3, 5, 7})
            while (r % p == 0) r /= p;
        if (r == 1) return m;
    }
}

struct CPlane {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<double> v;
    double& At(int32_t x, int32_t y) { return v[static_cast<size_t>(y) * width + x]; }
    double At(int32_t x, int32_t y) const { return v[static_cast<size_t>(y) * width + x]; }
};

// A square kernel of odd side, centre at (side / 2, side / 2).
struct CSquare {
    int32_t side = 0;
    std::vector<double> v;
    double& At(int32_t x, int32_t y) { return v[static_cast<size_t>(y) * side + x]; }
    double At(int32_t x, int32_t y) const { return v[static_cast<size_t>(y) * side + x]; }
};

// Gaussian blur of a plane (edges repeated), separable.
CPlane GaussianSmooth(const CPlane& in, double sigma) {
    if (sigma <= 0.05) return in;
    const int32_t r = static_cast<int32_t>(std::ceil(3.0 * sigma));
    std::vector<double> taps(static_cast<size_t>(2 * r + 1));
    double sum = 0.0;
    for (int32_t i = -r; i <= r; ++i)
        sum += taps[static_cast<size_t>(i + r)] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& t : taps) t /= sum;
    CPlane tmp = in, out = in;
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x) {
            double s = 0.0;
            for (int32_t i = -r; i <= r; ++i)
                s +=
                    taps[static_cast<size_t>(i + r)] * in.At(std::clamp(x + i, 0, in.width - 1), y);
            tmp.At(x, y) = s;
        }
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x) {
            double s = 0.0;
            for (int32_t i = -r; i <= r; ++i)
                s += taps[static_cast<size_t>(i + r)] *
                     tmp.At(x, std::clamp(y + i, 0, in.height - 1));
            out.At(x, y) = s;
        }
    return out;
}

double Bilinear(const CPlane& p, double x, double y) {
    x = std::clamp(x, 0.0, static_cast<double>(p.width - 1));
    y = std::clamp(y, 0.0, static_cast<double>(p.height - 1));
    const int32_t x0 = std::min(static_cast<int32_t>(x), p.width - 1);
    const int32_t y0 = std::min(static_cast<int32_t>(y), p.height - 1);
    const int32_t x1 = std::min(x0 + 1, p.width - 1), y1 = std::min(y0 + 1, p.height - 1);
    const double fx = x - x0, fy = y - y0;
    return (1 - fy) * ((1 - fx) * p.At(x0, y0) + fx * p.At(x1, y0)) +
           fy * ((1 - fx) * p.At(x0, y1) + fx * p.At(x1, y1));
}

// The plane scaled by s (below 1), smoothed against aliasing first.
CPlane Downscale(const CPlane& in, double s) {
    if (s >= 0.999) return in;
    const CPlane smooth = GaussianSmooth(in, 0.5 * std::sqrt(1.0 / (s * s) - 1.0));
    CPlane out;
    out.width = std::max(1, static_cast<int32_t>(std::lround(in.width * s)));
    out.height = std::max(1, static_cast<int32_t>(std::lround(in.height * s)));
    out.v.resize(static_cast<size_t>(out.width) * out.height);
    const double sx = static_cast<double>(in.width) / out.width;
    const double sy = static_cast<double>(in.height) / out.height;
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x)
            out.At(x, y) = Bilinear(smooth, (x + 0.5) * sx - 0.5, (y + 0.5) * sy - 0.5);
    return out;
}

// The plane extended to W x H: beyond each edge the picture fades into the opposite edge
// along a half cosine, so that it continues smoothly when wrapped.
std::vector<double> ExtendWrapped(const CPlane& in, int32_t workWidth, int32_t workHeight) {
    const int32_t w = in.width, h = in.height, ex = workWidth - w, ey = workHeight - h;
    std::vector<double> out(static_cast<size_t>(workWidth) * workHeight);
    for (int32_t y = 0; y < h; ++y) {
        double* to = out.data() + static_cast<size_t>(y) * workWidth;
        for (int32_t x = 0; x < w; ++x) to[x] = in.At(x, y);
        for (int32_t j = 0; j < ex; ++j) {
            const double s = 0.5 - 0.5 * std::cos(kPi * (j + 1) / (ex + 1));
            to[w + j] = (1.0 - s) * in.At(w - 1, y) + s * in.At(0, y);
        }
    }
    for (int32_t j = 0; j < ey; ++j) {
        const double s = 0.5 - 0.5 * std::cos(kPi * (j + 1) / (ey + 1));
        const double* last = out.data() + static_cast<size_t>(h - 1) * workWidth;
        const double* first = out.data();
        double* to = out.data() + static_cast<size_t>(h + j) * workWidth;
        for (int32_t x = 0; x < workWidth; ++x) to[x] = (1.0 - s) * last[x] + s * first[x];
    }
    return out;
}

// Keeps the kernel non-negative, prunes small values and the parts not connected (8 ways) to
// the part of the largest sum, shifts its centre of mass to the centre and normalises it.
// False when nothing is left.
bool CleanKernel(CSquare& k) {
    const int32_t n = k.side;
    double peak = 0.0;
    for (double& v : k.v) {
        if (!(v > 0.0)) v = 0.0;
        peak = std::max(peak, v);
    }
    if (!(peak > 0.0)) return false;
    for (double& v : k.v)
        if (v < kPruneFraction * peak) v = 0.0;
    // Connected parts.
    std::vector<int32_t> label(k.v.size(), -1), stack;
    std::vector<double> sums;
    for (int32_t start = 0; start < n * n; ++start) {
        if (k.v[start] == 0.0 || label[start] >= 0) continue;
        const int32_t id = static_cast<int32_t>(sums.size());
        double sum = 0.0;
        stack.assign(1, start);
        label[start] = id;
        while (!stack.empty()) {
            const int32_t i = stack.back();
            stack.pop_back();
            sum += k.v[i];
            const int32_t x = i % n, y = i / n;
            for (int32_t dy = -1; dy <= 1; ++dy)
                for (int32_t dx = -1; dx <= 1; ++dx) {
                    const int32_t nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= n || ny >= n) continue;
                    const int32_t j = ny * n + nx;
                    if (k.v[j] != 0.0 && label[j] < 0) {
                        label[j] = id;
                        stack.push_back(j);
                    }
                }
        }
        sums.push_back(sum);
    }
    const int32_t main =
        static_cast<int32_t>(std::max_element(sums.begin(), sums.end()) - sums.begin());
    double total = 0.0, mx = 0.0, my = 0.0;
    for (int32_t i = 0; i < n * n; ++i) {
        if (label[i] != main) {
            k.v[i] = 0.0;
            continue;
        }
        total += k.v[i];
        mx += k.v[i] * (i % n);
        my += k.v[i] * (i / n);
    }
    const int32_t sx = static_cast<int32_t>(std::lround(n / 2 - mx / total));
    const int32_t sy = static_cast<int32_t>(std::lround(n / 2 - my / total));
    if (sx != 0 || sy != 0) {
        std::vector<double> moved(k.v.size(), 0.0);
        for (int32_t y = 0; y < n; ++y)
            for (int32_t x = 0; x < n; ++x) {
                const int32_t tx = x + sx, ty = y + sy;
                if (tx >= 0 && ty >= 0 && tx < n && ty < n) moved[ty * n + tx] = k.At(x, y);
            }
        k.v.swap(moved);
        total = 0.0;
        for (double v : k.v) total += v;
        if (!(total > 0.0)) return false;
    }
    for (double& v : k.v) v /= total;
    return true;
}

// The kernel resampled to a new odd side, its offsets scaled by ratio (new pixels per old).
CSquare UpsampleKernel(const CSquare& k, int32_t side, double ratio) {
    CSquare out;
    out.side = side;
    out.v.assign(static_cast<size_t>(side) * side, 0.0);
    CPlane p;
    p.width = p.height = k.side;
    p.v = k.v;
    const double c0 = k.side / 2, c1 = side / 2;
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            const double ox = (x - c1) / ratio + c0, oy = (y - c1) / ratio + c0;
            if (ox < -0.5 || oy < -0.5 || ox > k.side - 0.5 || oy > k.side - 0.5) continue;
            out.At(x, y) = std::max(0.0, Bilinear(p, ox, oy));
        }
    double sum = 0.0;
    for (double v : out.v) sum += v;
    if (sum > 0.0)
        for (double& v : out.v) v /= sum;
    return out;
}

// The work of one level of the pyramid on a padded W x H grid.
class CLevelSolver {
public:
    CLevelSolver(const CPlane& blurred, int32_t side, const CFreeFormSettings& settings,
                 int32_t threads)
        : m_w(blurred.width),
          m_h(blurred.height),
          m_side(side),
          m_settings(settings),
          m_fft(FastSize(blurred.width + side + 2), FastSize(blurred.height + side + 2), threads) {
        m_gw = m_fft.Width();
        m_gh = m_fft.Height();
        m_threads = threads;
        m_blurred = ExtendWrapped(blurred, m_gw, m_gh);
        m_fft.Spectrum(m_blurred, m_blurredSpectrum);
        // The spectra of the forward differences x(t + 1) - x(t) along each axis.
        const int32_t hc = m_fft.HalfColumns();
        m_dx.resize(m_fft.Halves());
        m_dy.resize(m_fft.Halves());
        for (int32_t v = 0; v < m_gh; ++v)
            for (int32_t u = 0; u < hc; ++u) {
                const double ax = 2 * kPi * u / m_gw, ay = 2 * kPi * v / m_gh;
                m_dx[static_cast<size_t>(v) * hc + u] = Complex(std::cos(ax) - 1, std::sin(ax));
                m_dy[static_cast<size_t>(v) * hc + u] = Complex(std::cos(ay) - 1, std::sin(ay));
            }
        m_latent = m_blurred;
    }

    // One alternation: the latent by the current kernel, then the kernel by the latent.
    // False when the kernel vanished.
    bool Alternate(CSquare& kernel, double edgeWeight) {
        UpdateLatent(kernel, edgeWeight);
        return UpdateKernel(kernel);
    }

    // The relative residual |k * grad latent - grad blurred|^2 / |grad blurred|^2 inside the
    // picture, after the last kernel update.
    double Residual() const { return m_residual; }

private:
    void KernelSpectrum(const CSquare& k, std::vector<Complex>& out) {
        std::fill(m_fft.Real(), m_fft.Real() + m_fft.Reals(), 0.0);
        const int32_t c = k.side / 2;
        for (int32_t y = 0; y < k.side; ++y)
            for (int32_t x = 0; x < k.side; ++x)
                m_fft.Real()[static_cast<size_t>(Wrap(y - c, m_gh)) * m_gw + Wrap(x - c, m_gw)] +=
                    k.At(x, y);
        m_fft.Forward();
        out.assign(m_fft.Half(), m_fft.Half() + m_fft.Halves());
    }

    void ForEach(size_t count, const std::function<void(size_t, size_t)>& body) {
        ParallelRanges(static_cast<int32_t>(count), m_threads, 8,
                       [&](int32_t b, int32_t e) { body(static_cast<size_t>(b), e); });
    }

    // min |k * x - b|^2 + lambda |grad x|_0 by half-quadratic splitting.
    void UpdateLatent(const CSquare& kernel, double lambda) {
        std::vector<Complex> k;
        KernelSpectrum(kernel, k);
        const size_t halves = m_fft.Halves(), reals = m_fft.Reals();
        std::vector<Complex> kb(halves);
        std::vector<double> kk(halves), dd(halves);
        for (size_t i = 0; i < halves; ++i) {
            kb[i] = k[i].Conjugate() * m_blurredSpectrum[i];
            kk[i] = k[i].SquaredMagnitude();
            dd[i] = m_dx[i].SquaredMagnitude() + m_dy[i].SquaredMagnitude();
        }
        std::vector<double>& x = m_latent;
        std::vector<double> div(reals);
        const double scale = 1.0 / static_cast<double>(reals);
        const int32_t w = m_gw, h = m_gh;
        for (double beta = 2.0 * lambda; beta < kSplitEnd; beta *= kSplitGrowth) {
            const double threshold = lambda / beta;
            // The gradients kept, and their divergence (the adjoint of the differences).
            std::vector<double> gx(reals), gy(reals);
            ForEach(static_cast<size_t>(h), [&](size_t b, size_t e) {
                for (size_t yy = b; yy < e; ++yy) {
                    const int32_t y = static_cast<int32_t>(yy), yn = y + 1 == h ? 0 : y + 1;
                    for (int32_t xx = 0; xx < w; ++xx) {
                        const int32_t xn = xx + 1 == w ? 0 : xx + 1;
                        const size_t i = static_cast<size_t>(y) * w + xx;
                        const double a = x[static_cast<size_t>(y) * w + xn] - x[i];
                        const double c = x[static_cast<size_t>(yn) * w + xx] - x[i];
                        const bool keep = a * a + c * c >= threshold;
                        gx[i] = keep ? a : 0.0;
                        gy[i] = keep ? c : 0.0;
                    }
                }
            });
            ForEach(static_cast<size_t>(h), [&](size_t b, size_t e) {
                for (size_t yy = b; yy < e; ++yy) {
                    const int32_t y = static_cast<int32_t>(yy), yp = y == 0 ? h - 1 : y - 1;
                    for (int32_t xx = 0; xx < w; ++xx) {
                        const int32_t xp = xx == 0 ? w - 1 : xx - 1;
                        const size_t i = static_cast<size_t>(y) * w + xx;
                        div[i] = gx[static_cast<size_t>(y) * w + xp] - gx[i] +
                                 gy[static_cast<size_t>(yp) * w + xx] - gy[i];
                    }
                }
            });
            std::copy(div.begin(), div.end(), m_fft.Real());
            m_fft.Forward();
            Complex* s = m_fft.Half();
            ForEach(halves, [&](size_t b, size_t e) {
                for (size_t i = b; i < e; ++i)
                    s[i] = (kb[i] + beta * s[i]) * (1.0 / (kk[i] + beta * dd[i] + 1e-12));
            });
            m_fft.Inverse();
            for (size_t i = 0; i < reals; ++i) x[i] = m_fft.Real()[i] * scale;
        }
    }

    // Gradients of a plane along one axis, zero outside the picture shrunk by margin.
    void Gradient(const std::vector<double>& p, bool alongX, int32_t margin,
                  std::vector<double>& out) {
        out.assign(m_fft.Reals(), 0.0);
        for (int32_t y = margin; y < m_h - margin; ++y)
            for (int32_t x = margin; x < m_w - margin; ++x) {
                const size_t i = static_cast<size_t>(y) * m_gw + x;
                const size_t j = alongX ? static_cast<size_t>(y) * m_gw + (x + 1) % m_gw
                                        : static_cast<size_t>((y + 1) % m_gh) * m_gw + x;
                out[i] = p[j] - p[i];
            }
    }

    // The kernel on the grid's window around the origin from a full plane.
    void Window(const double* plane, CSquare& out) const {
        const int32_t c = m_side / 2;
        out.side = m_side;
        out.v.resize(static_cast<size_t>(m_side) * m_side);
        for (int32_t y = 0; y < m_side; ++y)
            for (int32_t x = 0; x < m_side; ++x)
                out.At(x, y) =
                    plane[static_cast<size_t>(Wrap(y - c, m_gh)) * m_gw + Wrap(x - c, m_gw)];
    }

    // Keeps the strongest of the latent's gradients, a share of the picture's pixels that
    // grows with the kernel's area, so that the kernel is fitted to the edges that
    // constrain it best.
    void SelectStrongGradients(std::vector<double>& gx, std::vector<double>& gy) const {
        const double share = m_settings.edgeShare;
        if (!(share > 0.0) || share >= 1.0) return;
        std::vector<double> mag;
        mag.reserve(gx.size());
        for (size_t i = 0; i < gx.size(); ++i) {
            const double m = gx[i] * gx[i] + gy[i] * gy[i];
            if (m > 0.0) mag.push_back(m);
        }
        const double pixels = static_cast<double>(m_w) * m_h;
        const size_t keep = static_cast<size_t>(std::max(share * pixels, 4.0 * m_side * m_side));
        if (keep >= mag.size()) return;
        std::nth_element(mag.begin(), mag.begin() + static_cast<std::ptrdiff_t>(mag.size() - keep),
                         mag.end());
        const double threshold = mag[mag.size() - keep];
        for (size_t i = 0; i < gx.size(); ++i)
            if (gx[i] * gx[i] + gy[i] * gy[i] < threshold) gx[i] = gy[i] = 0.0;
    }

    // The autocorrelation operator of the latent's gradients applied to a kernel, windowed.
    void ApplyNormal(const std::vector<double>& auto_, const CSquare& k, double gamma,
                     CSquare& out) {
        std::vector<Complex> ks;
        KernelSpectrum(k, ks);
        Complex* s = m_fft.Half();
        for (size_t i = 0; i < m_fft.Halves(); ++i) s[i] = ks[i] * auto_[i];
        m_fft.Inverse();
        const double scale = 1.0 / static_cast<double>(m_fft.Reals());
        Window(m_fft.Real(), out);
        for (size_t i = 0; i < out.v.size(); ++i) out.v[i] = out.v[i] * scale + gamma * k.v[i];
    }

    // min |k * dL - dB|^2 + gamma |k|^2 on the kernel's window over both axes' gradients of
    // the latent L (the strongest of them) and the blurred picture B, by conjugate gradients
    // from the current kernel (the correlations by FFT); gamma is relative to the energy of the
    // latent's gradients used. The kernel is then cleaned.
    bool UpdateKernel(CSquare& kernel) {
        const int32_t margin = m_side / 2 + 1;
        std::vector<double> gradX, gradY;
        std::vector<Complex> lx, ly, bx, by;
        Gradient(m_latent, true, margin, gradX);
        Gradient(m_latent, false, margin, gradY);
        SelectStrongGradients(gradX, gradY);
        double energy = 0.0;
        for (size_t i = 0; i < gradX.size(); ++i)
            energy += gradX[i] * gradX[i] + gradY[i] * gradY[i];
        m_fft.Spectrum(gradX, lx);
        m_fft.Spectrum(gradY, ly);
        const size_t halves = m_fft.Halves();
        bx.resize(halves);
        by.resize(halves);
        for (size_t i = 0; i < halves; ++i) {
            bx[i] = m_dx[i] * m_blurredSpectrum[i];
            by[i] = m_dy[i] * m_blurredSpectrum[i];
        }
        if (!(energy > 0.0)) return false;
        std::vector<double> autoSpectrum(halves);
        std::vector<Complex> cross(halves);
        for (size_t i = 0; i < halves; ++i) {
            autoSpectrum[i] = lx[i].SquaredMagnitude() + ly[i].SquaredMagnitude();
            cross[i] = lx[i].Conjugate() * bx[i] + ly[i].Conjugate() * by[i];
        }
        std::vector<double> plane;
        m_fft.Plane(cross, plane);
        CSquare rhs;
        Window(plane.data(), rhs);
        const double gamma = m_settings.kernelWeight * energy;
        // Conjugate gradients on (A + gamma) k = rhs from the current kernel.
        CSquare k = kernel, ak, r = rhs, p, ap;
        ApplyNormal(autoSpectrum, k, gamma, ak);
        for (size_t i = 0; i < r.v.size(); ++i) r.v[i] -= ak.v[i];
        p = r;
        double rr = 0.0;
        for (double v : r.v) rr += v * v;
        double rr0 = rr;
        for (int32_t step = 0; step < kKernelCgSteps && rr > 1e-20 * rr0; ++step) {
            ApplyNormal(autoSpectrum, p, gamma, ap);
            double pap = 0.0;
            for (size_t i = 0; i < p.v.size(); ++i) pap += p.v[i] * ap.v[i];
            if (!(pap > 0.0)) break;
            const double alpha = rr / pap;
            double rrNew = 0.0;
            for (size_t i = 0; i < p.v.size(); ++i) {
                k.v[i] += alpha * p.v[i];
                r.v[i] -= alpha * ap.v[i];
                rrNew += r.v[i] * r.v[i];
            }
            for (size_t i = 0; i < p.v.size(); ++i) p.v[i] = r.v[i] + rrNew / rr * p.v[i];
            rr = rrNew;
        }
        if (!CleanKernel(k)) return false;
        kernel = k;
        // The residual: |k * lx - bx|^2 over the picture, against |bx|^2, both axes.
        std::vector<Complex> kspec;
        KernelSpectrum(kernel, kspec);
        double res = 0.0, ref = 0.0;
        for (size_t i = 0; i < halves; ++i) {
            const double wgt = (i % m_fft.HalfColumns() == 0) ? 1.0 : 2.0;
            res += wgt * ((kspec[i] * lx[i] - bx[i]).SquaredMagnitude() +
                          (kspec[i] * ly[i] - by[i]).SquaredMagnitude());
            ref += wgt * (bx[i].SquaredMagnitude() + by[i].SquaredMagnitude());
        }
        m_residual = ref > 0.0 ? res / ref : 0.0;
        return true;
    }

    int32_t m_w, m_h, m_side;
    const CFreeFormSettings& m_settings;
    CGridFft m_fft;
    int32_t m_gw = 0, m_gh = 0, m_threads = 1;
    std::vector<double> m_blurred, m_latent;
    std::vector<Complex> m_blurredSpectrum, m_dx, m_dy;
    double m_residual = 0.0;
};

struct CLevelPlan {
    double scale;
    int32_t side;
};

// The levels from the coarsest to the full size for a kernel of the given side.
std::vector<CLevelPlan> PlanLevels(int32_t side) {
    std::vector<CLevelPlan> levels;
    double scale = 1.0;
    for (;;) {
        int32_t s = static_cast<int32_t>(std::lround(side * scale));
        if ((s & 1) == 0) ++s;
        s = std::max(s, 3);
        levels.push_back({scale, s});
        if (s <= kTopKernelSize) break;
        scale *= kLevelScale;
    }
    std::reverse(levels.begin(), levels.end());
    return levels;
}

double LevelCost(const CLevelPlan& l, int32_t w, int32_t h) {
    return l.scale * l.scale * w * h + 1.0;
}

// One estimate at a fixed side. 1, 0 (kernel vanished, with no message) or cancelled.
int EstimateAtSize(const CPlane& picture, int32_t side, const CFreeFormSettings& settings,
                   int32_t threads, CSquare& kernel, double& residual, int32_t& levelCount,
                   const std::function<bool(double)>& progress) {
    const std::vector<CLevelPlan> levels = PlanLevels(side);
    levelCount = static_cast<int32_t>(levels.size());
    double totalCost = 0.0, doneCost = 0.0;
    for (const CLevelPlan& l : levels) totalCost += LevelCost(l, picture.width, picture.height);
    kernel.side = levels.front().side;
    kernel.v.assign(static_cast<size_t>(kernel.side) * kernel.side, 0.0);
    {
        // A small spot to start from.
        const int32_t c = kernel.side / 2;
        kernel.At(c, c) = 0.5;
        kernel.At(c - 1, c) = kernel.At(c + 1, c) = 0.125;
        kernel.At(c, c - 1) = kernel.At(c, c + 1) = 0.125;
    }
    double lambda = settings.edgeWeight;
    for (size_t li = 0; li < levels.size(); ++li) {
        const CLevelPlan& level = levels[li];
        if (li > 0) kernel = UpsampleKernel(kernel, level.side, level.scale / levels[li - 1].scale);
        const CPlane blurred = Downscale(picture, level.scale);
        if (blurred.width < 2 * level.side || blurred.height < 2 * level.side) {
            doneCost += LevelCost(level, picture.width, picture.height);
            continue;
        }
        CLevelSolver solver(blurred, level.side, settings, threads);
        const double cost = LevelCost(level, picture.width, picture.height);
        for (int32_t it = 0; it < settings.iterations; ++it) {
            if (!solver.Alternate(kernel, lambda)) return 0;
            lambda = std::max(lambda / settings.edgeDecay, kEdgeWeightFloor);
            if (progress &&
                !progress((doneCost + cost * (it + 1) / settings.iterations) / totalCost))
                return kRestoreCancelled;
        }
        residual = solver.Residual();
        doneCost += cost;
    }
    return 1;
}

// The window of side x side (clipped to the picture) the kernel is estimated on: the central
// one, or the one whose gradients (|dx| + |dy|, summed over a table of running sums, tried
// every eighth pixel) are strongest.
void ChooseWindow(const CPlane& p, int32_t side, bool central, int32_t& left, int32_t& top,
                  int32_t& width, int32_t& height) {
    width = std::min(side, p.width);
    height = std::min(side, p.height);
    left = (p.width - width) / 2;
    top = (p.height - height) / 2;
    if (central || (width == p.width && height == p.height)) return;
    const size_t stride = static_cast<size_t>(p.width) + 1;
    std::vector<double> sums(stride * (static_cast<size_t>(p.height) + 1), 0.0);
    for (int32_t y = 0; y < p.height; ++y) {
        double row = 0.0;
        for (int32_t x = 0; x < p.width; ++x) {
            const double gx = x + 1 < p.width ? p.At(x + 1, y) - p.At(x, y) : 0.0;
            const double gy = y + 1 < p.height ? p.At(x, y + 1) - p.At(x, y) : 0.0;
            row += std::abs(gx) + std::abs(gy);
            sums[(y + 1) * stride + x + 1] = sums[y * stride + x + 1] + row;
        }
    }
    constexpr int32_t kStep = 8;
    double best = -1.0;
    auto tryAt = [&](int32_t x, int32_t y) {
        const double e = sums[(y + height) * stride + x + width] - sums[y * stride + x + width] -
                         sums[(y + height) * stride + x] + sums[y * stride + x];
        if (e > best) {
            best = e;
            left = x;
            top = y;
        }
    };
    for (int32_t y = 0;; y = std::min(y + kStep, p.height - height)) {
        for (int32_t x = 0;; x = std::min(x + kStep, p.width - width)) {
            tryAt(x, y);
            if (x == p.width - width) break;
        }
        if (y == p.height - height) break;
    }
}

// The extent of the kernel's values of at least a tenth of its largest: where the blur's
// weight lies, without the faint remains the pruning left.
void Support(const CSquare& k, int32_t& width, int32_t& height) {
    double peak = 0.0;
    for (double v : k.v) peak = std::max(peak, v);
    int32_t x0 = k.side, x1 = -1, y0 = k.side, y1 = -1;
    for (int32_t y = 0; y < k.side; ++y)
        for (int32_t x = 0; x < k.side; ++x)
            if (peak > 0.0 && k.At(x, y) >= 0.1 * peak) {
                x0 = std::min(x0, x);
                x1 = std::max(x1, x);
                y0 = std::min(y0, y);
                y1 = std::max(y1, y);
            }
    width = x1 >= x0 ? x1 - x0 + 1 : 0;
    height = y1 >= y0 ? y1 - y0 + 1 : 0;
}

}  // namespace

std::vector<double> GreyOfPlanes(const CPlanes& planes) {
    std::vector<double> grey(planes.PlaneSize());
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = (planes.Plane(0)[i] + planes.Plane(1)[i] + planes.Plane(2)[i]) / 3.0;
    return grey;
}

int EstimateFreeFormKernel(const double* grey, int32_t width, int32_t height,
                           const CFreeFormSettings& settings, CKernel& kernel,
                           CFreeFormReport* report, const RestoreProgress& progress) {
    if (settings.maxSize != 0 &&
        (settings.maxSize < kFreeFormMinSize || settings.maxSize > kFreeFormMaxSize)) {
        ShowMessage(Format("The blur size must be 0 (try growing sizes) or from %i to %i pixels.",
                           kFreeFormMinSize, kFreeFormMaxSize));
        return 0;
    }
    if (settings.iterations < 1 || !(settings.edgeWeight > 0.0) || !(settings.edgeDecay >= 1.0) ||
        !(settings.kernelWeight > 0.0)) {
        ShowMessage(
            "The estimate needs at least one iteration, weights above 0 and an edge decay of at "
            "least 1.");
        return 0;
    }
    if (grey == nullptr || width <= 0 || height <= 0) {
        ShowMessage("There is no picture to estimate a blur from.");
        return 0;
    }
    const int32_t firstSize = settings.maxSize == 0 ? 15 : (settings.maxSize | 1);
    if (width < 4 * firstSize || height < 4 * firstSize) {
        ShowMessage(
            Format("The picture (%i x %i) is too small to estimate a blur of %i pixels: "
                   "it must be at least four times the blur size on each side.",
                   width, height, firstSize));
        return 0;
    }
    CPlane picture;
    picture.width = width;
    picture.height = height;
    try {
        picture.v.assign(grey, grey + static_cast<size_t>(width) * height);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the estimate.");
        return 0;
    }
    double lo = picture.v.front(), hi = lo;
    for (double& v : picture.v) {
        if (!std::isfinite(v)) {
            ShowMessage("The picture holds values that are not finite numbers.");
            return 0;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        v /= 255.0;
    }
    if (hi - lo < 1.0) {
        ShowMessage("The picture is flat: there are no edges to estimate a blur from.");
        return 0;
    }
    int32_t windowX = 0, windowY = 0, windowW = width, windowH = height;
    if (settings.window > 0 && (width > settings.window || height > settings.window)) {
        ChooseWindow(picture, std::max(settings.window, 4 * firstSize), settings.centralWindow,
                     windowX, windowY, windowW, windowH);
        CPlane part;
        part.width = windowW;
        part.height = windowH;
        part.v.resize(static_cast<size_t>(windowW) * windowH);
        for (int32_t y = 0; y < windowH; ++y)
            std::copy_n(picture.v.data() + static_cast<size_t>(y + windowY) * width + windowX,
                        windowW, part.v.data() + static_cast<size_t>(y) * windowW);
        picture = std::move(part);
    }

    std::vector<int32_t> sizes;
    if (settings.maxSize != 0) {
        sizes.push_back(settings.maxSize | 1);
    } else {
        for (int32_t s : {15, 23, 31, 41, 55, 75, 101})
            if (4 * s <= std::min(picture.width, picture.height)) sizes.push_back(s);
    }
    int32_t threads = settings.threads > 0
                          ? settings.threads
                          : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    // Below about a quarter megapixel the threads' start costs more than they save (measured
    // on 255 x 255: 1.8 s on two threads against 1.05 s on one).
    if (settings.threads <= 0 && static_cast<int64_t>(picture.width) * picture.height < 512 * 512)
        threads = 1;

    // Every size tried until one settles: its kernel keeps clear of its window's edges. When
    // none does, the one that explains the picture best.
    struct CTried {
        CSquare kernel;
        double residual = 0.0;
        int32_t levels = 0, supportW = 0, supportH = 0;
    };
    std::vector<CTried> results;
    std::vector<int32_t> tried;
    size_t chosen = 0;
    try {
        for (size_t si = 0; si < sizes.size(); ++si) {
            const int32_t side = sizes[si];
            const double from = static_cast<double>(si) / static_cast<double>(sizes.size());
            const double span = 1.0 / static_cast<double>(sizes.size());
            CTried t;
            const int result =
                EstimateAtSize(picture, side, settings, threads, t.kernel, t.residual, t.levels,
                               [&](double f) { return !progress || progress(from + span * f); });
            if (result == kRestoreCancelled) return kRestoreCancelled;
            if (result != 1) continue;
            tried.push_back(side);
            Support(t.kernel, t.supportW, t.supportH);
            results.push_back(std::move(t));
            chosen = results.size() - 1;
            const CTried& last = results.back();
            if (std::max(last.supportW, last.supportH) <= side - 2) break;
            if (si + 1 == sizes.size())
                for (size_t i = 0; i < results.size(); ++i)
                    if (results[i].residual < results[chosen].residual) chosen = i;
        }
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the estimate.");
        return 0;
    }
    CSquare best;
    double residual = 0.0;
    int32_t levels = 0, supportW = 0, supportH = 0;
    if (!results.empty()) {
        best = results[chosen].kernel;
        residual = results[chosen].residual;
        levels = results[chosen].levels;
        supportW = results[chosen].supportW;
        supportH = results[chosen].supportH;
    }
    if (best.side == 0) {
        ShowMessage("No blur found: the estimate did not settle on a kernel.");
        return 0;
    }
    kernel.width = kernel.height = best.side;
    kernel.peakX = kernel.peakY = best.side / 2;
    kernel.values = best.v;
    if (report != nullptr) {
        report->size = best.side;
        report->settledEnergy = residual;
        report->levels = levels;
        report->triedSizes = tried;
        report->supportWidth = supportW;
        report->supportHeight = supportH;
        report->windowX = windowX;
        report->windowY = windowY;
        report->windowWidth = windowW;
        report->windowHeight = windowH;
    }
    if (progress) progress(1.0);
    return 1;
}

double KernelCorrelation(const CKernel& a, const CKernel& b) {
    if (a.IsEmpty() || b.IsEmpty()) return 0.0;
    double na = 0.0, nb = 0.0;
    for (double v : a.values) na += v * v;
    for (double v : b.values) nb += v * v;
    if (!(na > 0.0) || !(nb > 0.0)) return 0.0;
    double best = -1.0;
    // Shift s places b's (x, y) over a's (x + s).
    for (int32_t sy = -b.height + 1; sy < a.height; ++sy)
        for (int32_t sx = -b.width + 1; sx < a.width; ++sx) {
            double sum = 0.0;
            for (int32_t y = std::max(0, -sy); y < b.height && y + sy < a.height; ++y)
                for (int32_t x = std::max(0, -sx); x < b.width && x + sx < a.width; ++x)
                    sum += a.At(x + sx, y + sy) * b.At(x, y);
            best = std::max(best, sum);
        }
    return best / std::sqrt(na * nb);
}
