#include "stamp/estimate_blur.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include "fourier/plane_fft.h"
#include "platform/user_interface.h"
#include "stamp/estimate_free.h"

// The parametric estimate works on the mean power spectrum of overlapping square tiles of the
// grey picture (Welch's method), each tile less its mean and under a Hann window, so the
// picture's edges, which do not wrap, leave no cross in the spectrum and the averaging leaves
// the blur's zeros visible over the photograph's own texture. It is then read two ways:
// - motion: the cepstrum of the log spectrum less its ring means (what is not isotropic).
//   A straight motion's zero lines every 1 / length across its direction make the
//   cepstrum dip deeply at its length along its direction (log |sinc| is a sum of cosines
//   of that period); the deepest dip between the shortest and the longest motion gives
//   the direction, and the length is refined against the projection of the log spectrum
//   onto that direction (a Radon transform), whose dips at k / length are matched by
//   log |sinc|^2 after a trend a + b log f + c f is removed from both.
// - the ring means of the power (isotropic blurs): a photograph's power falls as a power
//   of the frequency, A f^-alpha, over the noise's white floor N. No blur, Gaussians
//   (exp(-4 pi^2 sigma^2 f^2)) and defocus discs (the Airy pattern
//   |2 J1(2 pi R f) / (2 pi R f)|^2, zero rings at j1,k / (2 pi R)) of every size are each
//   fitted to the logs (A and alpha free for each); the disc whose fit leaves clearly less
//   than the others is a defocus.
// In auto the estimate takes a motion whose dip stands out clearly, else a defocus that
// explains the rings clearly best, else a Gaussian of at least 0.75 px that explains them
// clearly better than no blur, else none. It never falls back to the free-form estimate:
// that takes seconds and finds a kernel in any picture, sharp or not, so it cannot tell
// whether there is a blur; a camera shake is estimated when the free model is asked for.

namespace {

constexpr double kPi = 3.14159265358979323846;
// The largest tile's side: enough frequency resolution for the zeros of a 60 px motion.
constexpr int32_t kTileSide = 256;
// The motion model's floor under its zeros (relative to the response at 0): noise and the
// tile's window fill the zeros in.
constexpr double kZeroFloor = 0.02;
// The frequencies read, in bins of the tile's spectrum: from kLowBin (the window's leakage
// of the mean stays below) to at most kHighShare of the Nyquist frequency.
constexpr int32_t kLowBin = 2;
constexpr double kHighShare = 0.9;
// The power above the noise that a frequency must hold to count as signal.
constexpr double kSignalOverNoise = 2.0;
// Motion in auto: the cepstrum's dip in deviations of the cepstrum at its radius, or a
// lesser dip there that is far deeper than the whole annulus of motions looked for.
constexpr double kMotionDip = 7.5;
constexpr double kMotionDipWithDeep = 3.5;
constexpr double kMotionDeep = 30.0;
// The shortest motion looked for: below it a photograph's own anisotropy near the
// spectrum's centre looks as much like a motion.
constexpr double kShortestMotion = 5.0;
// Defocus: how much less the disc leaves of the ring means than the better of a Gaussian
// and no blur (0.3: 30 % less), and the smallest radius told from a Gaussian.
constexpr double kDefocusGain = 0.3;
constexpr double kSmallestDefocus = 1.75;
// Gaussian: how much less it leaves than no blur.
constexpr double kGaussianGain = 0.5;
// Gaussian: the deviation below which a photograph counts as sharp.
constexpr double kSharpSigma = 0.75;
// Free form: a kernel whose 90 % lie on this many pixels or fewer is a spot, no blur.
constexpr int32_t kFreeSpotPixels = 9;

// The mean power spectrum of the tiles.
struct CSpectrum {
    int32_t side = 0;  // the tile's side T
    // T x T values, centred: frequency (kx, ky) bins, each -T/2 .. T/2 - 1, at
    // (ky + T/2) * T + kx + T/2; rows upwards (ky along the picture's rows, row 0 at the
    // bottom), as on screen.
    std::vector<double> power;
    std::vector<double> logPower;
    double noise = 0.0;             // the white noise's power per bin
    int32_t highBin = 0;            // the highest radius, in bins, where the signal still dominates
    std::vector<double> ringLog;    // mean log power at every whole radius 0 .. T/2
    std::vector<double> ringPower;  // mean power there
};

double& At(CSpectrum& s, std::vector<double>& v, int32_t kx, int32_t ky) {
    return v[static_cast<size_t>(ky + s.side / 2) * static_cast<size_t>(s.side) +
             static_cast<size_t>(kx + s.side / 2)];
}

// The mean windowed power spectrum of the grey picture's tiles. false when memory runs out.
bool MakeSpectrum(const std::vector<double>& grey, int32_t width, int32_t height, int32_t side,
                  double noiseDeviation, CSpectrum& s) {
    s.side = side;
    const size_t n = static_cast<size_t>(side) * static_cast<size_t>(side);
    CPlaneFftD fft(side, side);
    std::vector<double> window(static_cast<size_t>(side));
    for (int32_t i = 0; i < side; ++i)
        window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * kPi * (i + 0.5) / side);
    double windowEnergy = 0.0;
    for (double a : window)
        for (double b : window) windowEnergy += a * a * b * b;
    // Tiles overlapping by half, spread evenly over the picture.
    auto starts = [side](int32_t length) {
        const int32_t count = std::max(1, (length - side + side / 2 - 1) / (side / 2) + 1);
        std::vector<int32_t> at;
        for (int32_t i = 0; i < count; ++i)
            at.push_back(count == 1 ? (length - side) / 2
                                    : static_cast<int32_t>(std::lround(
                                          static_cast<double>(i) * (length - side) / (count - 1))));
        return at;
    };
    const std::vector<int32_t> xs = starts(width), ys = starts(height);
    std::vector<double> half(fft.Halves(), 0.0);
    for (int32_t y0 : ys)
        for (int32_t x0 : xs) {
            double mean = 0.0;
            for (int32_t y = 0; y < side; ++y)
                for (int32_t x = 0; x < side; ++x)
                    mean += grey[static_cast<size_t>(y0 + y) * width + (x0 + x)];
            mean /= static_cast<double>(n);
            double* real = fft.RealData();
            for (int32_t y = 0; y < side; ++y)
                for (int32_t x = 0; x < side; ++x)
                    real[static_cast<size_t>(y) * side + x] =
                        (grey[static_cast<size_t>(y0 + y) * width + (x0 + x)] - mean) *
                        window[static_cast<size_t>(x)] * window[static_cast<size_t>(y)];
            fft.Forward();
            const Complex* h = fft.Half();
            for (size_t i = 0; i < half.size(); ++i)
                half[i] += h[i].re * h[i].re + h[i].im * h[i].im;
        }
    const double scale = 1.0 / (windowEnergy * static_cast<double>(xs.size() * ys.size()));
    s.power.assign(n, 0.0);
    const int32_t halfColumns = fft.HalfColumns();
    for (int32_t row = 0; row < side; ++row) {
        const int32_t ky = row < side / 2 ? row : row - side;
        for (int32_t c = 0; c < halfColumns; ++c) {
            const double p = half[static_cast<size_t>(row) * halfColumns + c] * scale;
            if (c < side / 2) At(s, s.power, c, ky) = p;
            // The mirrored frequency (a real picture's spectrum is symmetric).
            const int32_t mx = -c, my = -ky;
            if (mx >= -side / 2 && my >= -side / 2 && my < side / 2 && mx < side / 2)
                At(s, s.power, mx, my) = p;
        }
    }
    // The noise's floor: the measured noise, or the power of the highest frequencies when
    // that is less (the measure never goes below the rounding noise of one plane, while the
    // grey of three planes holds a third of it).
    double tail = 0.0;
    int32_t tailCount = 0;
    for (int32_t ky = -side / 2; ky < side / 2; ++ky)
        for (int32_t kx = -side / 2; kx < side / 2; ++kx)
            if (std::hypot(kx, ky) >= kHighShare * (side / 2) && std::hypot(kx, ky) < side / 2) {
                tail += At(s, s.power, kx, ky);
                ++tailCount;
            }
    s.noise = noiseDeviation * noiseDeviation;
    if (tailCount > 0) s.noise = std::min(s.noise, tail / tailCount);
    s.noise = std::max(s.noise, 1e-4);
    s.logPower.resize(n);
    for (size_t i = 0; i < n; ++i) s.logPower[i] = std::log(s.power[i] + 1e-3 * s.noise);
    // Ring means, every value shared between the two nearest whole radii.
    const int32_t rings = side / 2 + 1;
    std::vector<double> sumLog(static_cast<size_t>(rings) + 1, 0.0), sumPower(sumLog),
        count(sumLog);
    for (int32_t ky = -side / 2; ky < side / 2; ++ky)
        for (int32_t kx = -side / 2; kx < side / 2; ++kx) {
            const double r = std::hypot(kx, ky);
            if (r >= rings - 1) continue;
            const int32_t r0 = static_cast<int32_t>(r);
            const double t = r - r0;
            const double lp = At(s, s.logPower, kx, ky), p = At(s, s.power, kx, ky);
            for (int32_t j = 0; j < 2; ++j) {
                const double w = j == 0 ? 1.0 - t : t;
                sumLog[static_cast<size_t>(r0 + j)] += w * lp;
                sumPower[static_cast<size_t>(r0 + j)] += w * p;
                count[static_cast<size_t>(r0 + j)] += w;
            }
        }
    s.ringLog.assign(static_cast<size_t>(rings), 0.0);
    s.ringPower.assign(static_cast<size_t>(rings), 0.0);
    for (int32_t r = 0; r < rings; ++r)
        if (count[static_cast<size_t>(r)] > 0.0) {
            s.ringLog[static_cast<size_t>(r)] =
                sumLog[static_cast<size_t>(r)] / count[static_cast<size_t>(r)];
            s.ringPower[static_cast<size_t>(r)] =
                sumPower[static_cast<size_t>(r)] / count[static_cast<size_t>(r)];
        }
    const int32_t top = static_cast<int32_t>(kHighShare * (side / 2));
    s.highBin = kLowBin + 4;
    for (int32_t r = kLowBin; r <= top; ++r)
        if (s.ringPower[static_cast<size_t>(r)] > kSignalOverNoise * s.noise)
            s.highBin = r;
        else if (r > 2 * kLowBin)
            break;
    s.highBin = std::clamp(s.highBin, std::min(top, kLowBin + 8), top);
    return true;
}

bool Stopped(const RestoreProgress& progress, double fraction) {
    return progress && !progress(fraction);
}

// Removes from v (at the bins lo .. hi) its least-squares fit by 1, log r and r, in place.
// The correlations below compare what is left.
void Detrend(std::vector<double>& v, int32_t lo, int32_t hi) {
    double a[3][3] = {}, b[3] = {};
    for (int32_t r = lo; r <= hi; ++r) {
        const double f[3] = {1.0, std::log(static_cast<double>(r)), static_cast<double>(r) / hi};
        for (int32_t i = 0; i < 3; ++i) {
            b[i] += f[i] * v[static_cast<size_t>(r)];
            for (int32_t j = 0; j < 3; ++j) a[i][j] += f[i] * f[j];
        }
    }
    // Gaussian elimination of the 3 x 3 normal equations.
    for (int32_t i = 0; i < 3; ++i) {
        const double pivot = a[i][i];
        if (std::fabs(pivot) < 1e-300) return;
        for (int32_t k = i + 1; k < 3; ++k) {
            const double f = a[k][i] / pivot;
            for (int32_t j = i; j < 3; ++j) a[k][j] -= f * a[i][j];
            b[k] -= f * b[i];
        }
    }
    double c[3];
    for (int32_t i = 2; i >= 0; --i) {
        double sum = b[i];
        for (int32_t j = i + 1; j < 3; ++j) sum -= a[i][j] * c[j];
        c[i] = sum / a[i][i];
    }
    for (int32_t r = lo; r <= hi; ++r)
        v[static_cast<size_t>(r)] -=
            c[0] + c[1] * std::log(static_cast<double>(r)) + c[2] * static_cast<double>(r) / hi;
}

// The normalised correlation of two detrended profiles over lo .. hi.
double Correlation(const std::vector<double>& a, const std::vector<double>& b, int32_t lo,
                   int32_t hi) {
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (int32_t r = lo; r <= hi; ++r) {
        const double x = a[static_cast<size_t>(r)], y = b[static_cast<size_t>(r)];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : 0.0;
}

double Sinc(double x) {
    return std::fabs(x) < 1e-9 ? 1.0 : std::sin(x) / x;
}
double Jinc(double x) {
    x = std::fabs(x);
    return x < 1e-9 ? 1.0 : 2.0 * std::cyl_bessel_j(1.0, x) / x;
}

// The detrended log response of a model at the whole bins 0 .. hi of a tile of the side.
std::vector<double> MotionProfile(double length, int32_t side, int32_t lo, int32_t hi) {
    std::vector<double> m(static_cast<size_t>(hi) + 1, 0.0);
    for (int32_t u = lo; u <= hi; ++u) {
        const double s = Sinc(kPi * length * u / side);
        m[static_cast<size_t>(u)] = std::log(s * s + kZeroFloor);
    }
    Detrend(m, lo, hi);
    return m;
}

// The log spectrum less its ring means, as (kx, ky, value) for the half plane ky >= 0 inside
// the radius hi: what the projections sum.
struct CBin {
    float kx, ky, value;
};

std::vector<CBin> AnisotropicBins(CSpectrum& s, int32_t hi) {
    std::vector<CBin> bins;
    for (int32_t ky = 0; ky <= hi; ++ky)
        for (int32_t kx = -hi; kx <= hi; ++kx) {
            if (ky == 0 && kx < 0) continue;
            const double r = std::hypot(kx, ky);
            if (r > hi + 0.5 || r < kLowBin - 0.5) continue;
            const int32_t r0 = static_cast<int32_t>(r);
            const double t = r - r0;
            const double ring = (1.0 - t) * s.ringLog[static_cast<size_t>(r0)] +
                                t * s.ringLog[static_cast<size_t>(std::min<int32_t>(
                                        r0 + 1, static_cast<int32_t>(s.ringLog.size()) - 1))];
            bins.push_back({static_cast<float>(kx), static_cast<float>(ky),
                            static_cast<float>(At(s, s.logPower, kx, ky) - ring)});
        }
    return bins;
}

// The mean of the bins along the lines across the direction (degrees) at every whole offset
// 0 .. hi along it, detrended.
std::vector<double> Projection(const std::vector<CBin>& bins, double degrees, int32_t lo,
                               int32_t hi) {
    const double a = degrees * kPi / 180.0;
    const double c = std::cos(a), sn = std::sin(a);
    std::vector<double> sum(static_cast<size_t>(hi) + 2, 0.0), count(sum);
    for (const CBin& b : bins) {
        const double u = std::fabs(b.kx * c + b.ky * sn);
        const int32_t u0 = static_cast<int32_t>(u);
        if (u0 > hi) continue;
        const double t = u - u0;
        sum[static_cast<size_t>(u0)] += (1.0 - t) * b.value;
        count[static_cast<size_t>(u0)] += 1.0 - t;
        sum[static_cast<size_t>(u0) + 1] += t * b.value;
        count[static_cast<size_t>(u0) + 1] += t;
    }
    std::vector<double> p(static_cast<size_t>(hi) + 1, 0.0);
    for (int32_t u = 0; u <= hi; ++u)
        if (count[static_cast<size_t>(u)] > 0.0)
            p[static_cast<size_t>(u)] = sum[static_cast<size_t>(u)] / count[static_cast<size_t>(u)];
    Detrend(p, lo, hi);
    return p;
}

struct CMotionFit {
    double length = 0.0, angle = 0.0;
    double fit = 0.0;        // the correlation of the zero lines with the projection, 0 to 1
    double depth = 0.0;      // the cepstrum's dip in deviations of its annulus' values
    double ringDepth = 0.0;  // the same against the values at its own radius
};

// How far below the values' median the value lies, in their robust deviations (the median
// absolute deviation x 1.4826); 0 when they do not spread.
double Standout(std::vector<double> values, double value) {
    if (values.empty()) return 0.0;
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double median = *middle;
    for (double& v : values) v = std::fabs(v - median);
    std::nth_element(values.begin(), middle, values.end());
    const double spread = 1.4826 * *middle;
    return spread > 0.0 ? (median - value) / spread : 0.0;
}

// The cepstrum of the log spectrum less its ring means (the isotropic fall-off), the
// frequencies beyond the signal tapered off: a motion's zero lines every 1 / length make a
// deep minimum at its length along its direction. Values at (x, y) for x = 0 .. T/2 and
// y = -T/2 .. T/2 - 1, at (y + T/2) * (T/2 + 1) + x.
std::vector<double> AnisotropicCepstrum(CSpectrum& s) {
    const int32_t side = s.side, hi = s.highBin;
    CPlaneFftD fft(side, side);
    double* real = fft.RealData();
    const double taper = 0.8 * hi;
    for (int32_t row = 0; row < side; ++row) {
        const int32_t ky = row < side / 2 ? row : row - side;
        for (int32_t col = 0; col < side; ++col) {
            const int32_t kx = col < side / 2 ? col : col - side;
            const double r = std::hypot(kx, ky);
            double w = 0.0;
            if (r >= kLowBin && r <= hi)
                w = r <= taper ? 1.0 : 0.5 + 0.5 * std::cos(kPi * (r - taper) / (hi - taper));
            double value = 0.0;
            if (w > 0.0) {
                const int32_t r0 = static_cast<int32_t>(r);
                const double t = r - r0;
                const double ring = (1.0 - t) * s.ringLog[static_cast<size_t>(r0)] +
                                    t * s.ringLog[static_cast<size_t>(r0 + 1)];
                value = w * (At(s, s.logPower, kx, ky) - ring);
            }
            real[static_cast<size_t>(row) * side + col] = value;
        }
    }
    fft.Forward();
    const int32_t columns = fft.HalfColumns();
    std::vector<double> cepstrum(static_cast<size_t>(side) * columns);
    const Complex* h = fft.Half();
    for (int32_t y = -side / 2; y < side / 2; ++y) {
        const int32_t row = y < 0 ? y + side : y;
        for (int32_t x = 0; x < columns; ++x)
            cepstrum[static_cast<size_t>(y + side / 2) * columns + x] =
                h[static_cast<size_t>(row) * columns + x].re;
    }
    return cepstrum;
}

// The motion whose zero lines fit the spectrum best: its length and direction at the
// cepstrum's deepest dip between the shortest and the longest motion, then refined against
// the projections of the log spectrum.
int FitMotion(CSpectrum& s, int32_t maxLength, const RestoreProgress& progress, double from,
              double span, CMotionFit& best) {
    const int32_t lo = kLowBin, hi = s.highBin, side = s.side;
    const std::vector<double> cepstrum = AnisotropicCepstrum(s);
    if (Stopped(progress, from + 0.2 * span)) return kRestoreCancelled;
    const int32_t columns = side / 2 + 1;
    auto c = [&](int32_t x, int32_t y) {
        if (x < 0) x = -x, y = -y;
        return cepstrum[static_cast<size_t>(y + side / 2) * columns + x];
    };
    // The first zero inside the frequencies read, well before their end: a shorter motion
    // leaves only a fall-off.
    const double shortest = std::max(kShortestMotion, side / (0.6 * hi));
    const double longest = std::min<double>(maxLength, side / 2 - 2);
    std::vector<double> annulus;
    int32_t bx = 0, by = 0;
    double lowest = 0.0;
    for (int32_t y = 0; y <= static_cast<int32_t>(longest) + 1; ++y)
        for (int32_t x = -static_cast<int32_t>(longest) - 1; x <= static_cast<int32_t>(longest) + 1;
             ++x) {
            if (y == 0 && x < 0) continue;
            const double r = std::hypot(x, y);
            if (r < shortest - 0.5 || r > longest + 0.5) continue;
            const double v = c(x, y);
            annulus.push_back(v);
            if (v < lowest) lowest = v, bx = x, by = y;
        }
    best = CMotionFit();
    if (annulus.size() < 8 || lowest >= 0.0) return 1;
    best.depth = Standout(annulus, lowest);
    // The values at the dip's own radius.
    const double rb = std::hypot(bx, by);
    std::vector<double> ring;
    for (int32_t y = 0; y <= static_cast<int32_t>(rb) + 1; ++y)
        for (int32_t x = -static_cast<int32_t>(rb) - 1; x <= static_cast<int32_t>(rb) + 1; ++x)
            if ((y > 0 || x >= 0) && std::fabs(std::hypot(x, y) - rb) <= 0.5)
                ring.push_back(c(x, y));
    best.ringDepth = Standout(ring, lowest);
    // The dip's centre between its neighbours (a parabola through each axis' three values).
    auto vertex = [](double a, double b, double cc) {
        const double d = a - 2.0 * b + cc;
        return d > 0.0 ? std::clamp(0.5 * (a - cc) / d, -0.5, 0.5) : 0.0;
    };
    const double cx = bx + vertex(c(bx - 1, by), c(bx, by), c(bx + 1, by));
    const double cy = by + vertex(c(bx, by - 1), c(bx, by), c(bx, by + 1));
    double length = std::hypot(cx, cy);
    double degrees = std::atan2(cy, cx) * 180.0 / kPi;
    if (degrees < 0.0) degrees += 180.0;
    // The length refined against the projection across the direction found: the zero
    // lines' spacing fixes it better than the cepstrum's grid. The direction stays the
    // cepstrum's: for a short motion the few zero lines turn the projection too little.
    const std::vector<CBin> bins = AnisotropicBins(s, hi);
    const std::vector<double> p = Projection(bins, degrees, lo, hi);
    const double l0 = length;
    double fit = Correlation(p, MotionProfile(length, side, lo, hi), lo, hi);
    for (double l = std::max(1.0, l0 - 0.75); l <= l0 + 0.75 + 1e-9; l += 0.01) {
        const double f = Correlation(p, MotionProfile(l, side, lo, hi), lo, hi);
        if (f > fit) fit = f, length = l;
    }
    if (Stopped(progress, from + span)) return kRestoreCancelled;
    best.length = length;
    best.angle = std::fmod(degrees + 360.0, 180.0);
    best.fit = std::max(0.0, fit);
    return 1;
}

// Whether the cepstrum's dip stands out clearly enough for a straight motion: from the values
// at its radius, or less so from those at its radius when it is far deeper than the whole
// annulus'.
bool IsMotion(const CMotionFit& m) {
    return m.ringDepth >= kMotionDip ||
           (m.ringDepth >= kMotionDipWithDeep && m.depth >= kMotionDeep);
}

// The ring means of the power against A f^-alpha H(f) + N, H the power response of an
// isotropic blur at every whole radius (1 for none) and N the noise's floor: alpha by a
// grid, log A by Gauss-Newton steps on the logs. The mean squared difference of the logs
// over the rings read, for the best alpha.
double RingResidual(const CSpectrum& s, const std::vector<double>& response, int32_t lo,
                    int32_t hi) {
    double best = std::numeric_limits<double>::infinity();
    const int32_t count = hi - lo + 1;
    std::vector<double> g(static_cast<size_t>(count)), y(static_cast<size_t>(count));
    for (int32_t r = lo; r <= hi; ++r)
        y[static_cast<size_t>(r - lo)] = std::log(s.ringPower[static_cast<size_t>(r)]);
    for (double alpha = 0.5; alpha <= 6.0 + 1e-9; alpha += 0.5) {
        // The start: A as the rings with signal and response ask for it at their median.
        std::vector<double> asks;
        for (int32_t r = lo; r <= hi; ++r) {
            const size_t i = static_cast<size_t>(r - lo);
            g[i] = std::exp(-alpha * std::log(static_cast<double>(r))) *
                   response[static_cast<size_t>(r)];
            const double p = s.ringPower[static_cast<size_t>(r)];
            if (p > 2.0 * s.noise && g[i] > 0.0)
                asks.push_back(std::log(p - s.noise) - std::log(g[i]));
        }
        if (asks.size() < 3) continue;
        std::nth_element(asks.begin(), asks.begin() + asks.size() / 2, asks.end());
        double logA = asks[asks.size() / 2];
        double sum = 0.0;
        for (int32_t step = 0; step < 8; ++step) {
            double gradient = 0.0, curvature = 0.0;
            sum = 0.0;
            const double a = std::exp(logA);
            for (size_t i = 0; i < g.size(); ++i) {
                const double u = a * g[i];
                const double d = y[i] - std::log(u + s.noise);
                const double w = u / (u + s.noise);
                sum += d * d;
                gradient += d * w;
                curvature += w * w;
            }
            if (!(curvature > 0.0)) break;
            logA += std::clamp(gradient / curvature, -3.0, 3.0);
        }
        sum = 0.0;
        const double a = std::exp(logA);
        for (size_t i = 0; i < g.size(); ++i) {
            const double d = y[i] - std::log(a * g[i] + s.noise);
            sum += d * d;
        }
        best = std::min(best, sum / count);
    }
    return best;
}

struct CRingFits {
    double none = 0.0, gaussian = 0.0, defocus = 0.0;  // what each leaves
    double sigma = 0.0, radius = 0.0;
};

// The isotropic models against the ring means: none, and the Gaussian and the defocus disc
// that fit best (by 0.05 px, then by 0.01 px around the best).
void FitRings(const CSpectrum& s, double maxSigma, double maxRadius, CRingFits& fits) {
    const int32_t lo = kLowBin, hi = static_cast<int32_t>(kHighShare * (s.side / 2));
    std::vector<double> h(static_cast<size_t>(hi) + 1, 1.0);
    fits.none = RingResidual(s, h, lo, hi);
    auto gaussian = [&](double sigma) {
        for (int32_t r = 0; r <= hi; ++r) {
            const double f = static_cast<double>(r) / s.side;
            h[static_cast<size_t>(r)] = std::exp(-4.0 * kPi * kPi * sigma * sigma * f * f);
        }
        return RingResidual(s, h, lo, hi);
    };
    fits.gaussian = std::numeric_limits<double>::infinity();
    for (double sigma = 0.3; sigma <= maxSigma + 1e-9; sigma += 0.05) {
        const double e = gaussian(sigma);
        if (e < fits.gaussian) fits.gaussian = e, fits.sigma = sigma;
    }
    for (double sigma = fits.sigma - 0.05; sigma <= fits.sigma + 0.05 + 1e-9; sigma += 0.01) {
        const double e = gaussian(sigma);
        if (e < fits.gaussian) fits.gaussian = e, fits.sigma = sigma;
    }
    auto disc = [&](double radius) {
        for (int32_t r = 0; r <= hi; ++r) {
            // The zeros filled in by the window to a share of the pattern's envelope
            // 8 / (pi x^3) there.
            const double x = 2.0 * kPi * radius * r / s.side;
            const double j = Jinc(x);
            const double envelope = x > 1.0 ? std::min(1.0, 8.0 / (kPi * x * x * x)) : 1.0;
            h[static_cast<size_t>(r)] = j * j + kZeroFloor * envelope;
        }
        return RingResidual(s, h, lo, hi);
    };
    fits.defocus = std::numeric_limits<double>::infinity();
    for (double radius = 1.0; radius <= maxRadius + 1e-9; radius += 0.05) {
        const double e = disc(radius);
        if (e < fits.defocus) fits.defocus = e, fits.radius = radius;
    }
    const double coarse = fits.radius;
    for (double radius = coarse - 0.05; radius <= coarse + 0.05 + 1e-9; radius += 0.01) {
        const double e = disc(radius);
        if (e < fits.defocus) fits.defocus = e, fits.radius = radius;
    }
}

void MotionMarks(double length, double angle, CSpectrumMarks& marks) {
    marks.hasLines = true;
    marks.lineDirection = angle;
    for (int32_t k = 1; k / length <= 0.5 * std::sqrt(2.0); ++k) {
        marks.lineOffsets.push_back(-k / length);
        marks.lineOffsets.push_back(k / length);
    }
    std::sort(marks.lineOffsets.begin(), marks.lineOffsets.end());
}

void DefocusMarks(double radius, CSpectrumMarks& marks) {
    // The zeros of J1 (besides 0).
    static const double kJ1Zeros[] = {3.8317059702,  7.0155866698,  10.1734681351, 13.3236919363,
                                      16.4706300509, 19.6158585105, 22.7600843806, 25.9036720876,
                                      29.0468285349, 32.1896799110, 35.3323075501, 38.4747662348,
                                      41.6170942128, 44.7593189977, 47.9014608872, 51.0435351836,
                                      54.1855536411, 57.3275254379, 60.4694578453, 63.6113566985};
    for (double z : kJ1Zeros) {
        const double f = z / (2.0 * kPi * radius);
        if (f > 0.5 * std::sqrt(2.0)) break;
        marks.ringRadii.push_back(f);
    }
}

// The fewest of the kernel's values that hold the given share of its positive weight.
int32_t SpotSize(const CKernel& kernel, double share) {
    std::vector<double> values;
    double total = 0.0;
    for (double v : kernel.values)
        if (v > 0.0) {
            values.push_back(v);
            total += v;
        }
    std::sort(values.begin(), values.end(), std::greater<>());
    double held = 0.0;
    for (size_t i = 0; i < values.size(); ++i) {
        held += values[i];
        if (held >= share * total) return static_cast<int32_t>(i + 1);
    }
    return static_cast<int32_t>(values.size());
}

}  // namespace

namespace {

struct CModelName {
    BlurModel model;
    const char* name;
};

// The models a request may ask for come first, in the order they are offered.
constexpr CModelName kModelNames[] = {
    {BlurModel::Auto, "auto"},       {BlurModel::Motion, "motion"},
    {BlurModel::Defocus, "defocus"}, {BlurModel::Gaussian, "gaussian"},
    {BlurModel::Free, "free"},       {BlurModel::None, "none"}};
constexpr BlurModel kAskable[] = {BlurModel::Auto, BlurModel::Motion, BlurModel::Defocus,
                                  BlurModel::Gaussian, BlurModel::Free};

}  // namespace

const char* BlurModelName(BlurModel model) {
    for (const CModelName& m : kModelNames)
        if (m.model == model) return m.name;
    return "none";
}

bool BlurModelFromName(const std::string& name, BlurModel& model) {
    for (const CModelName& m : kModelNames)
        if (name == m.name) {
            model = m.model;
            return true;
        }
    return false;
}

std::span<const BlurModel> AskableBlurModels() {
    return kAskable;
}

std::string AskableBlurModelNames(const std::string& beforeLast) {
    std::string names;
    for (size_t i = 0; i < std::size(kAskable); ++i) {
        if (i > 0) names += i + 1 == std::size(kAskable) ? beforeLast : ", ";
        names += BlurModelName(kAskable[i]);
    }
    return names;
}

int EstimateBlur(const CPlanes& planes, const CEstimateRequest& asked, CBlurEstimate& estimate,
                 const RestoreProgress& progress) {
    if (asked.maxSize != 0 &&
        (asked.maxSize < kFreeFormMinSize || asked.maxSize > kFreeFormMaxSize)) {
        ShowMessage(
            Format("The blur size must be 0 (as large as the picture allows) or from %i "
                   "to %i pixels.",
                   kFreeFormMinSize, kFreeFormMaxSize));
        return 0;
    }
    // Size 0: the free-form estimate tries growing sizes and keeps the one it settles inside;
    // the spectrum's models look for blurs as large as the picture allows.
    CEstimateRequest request = asked;
    const bool growing = request.maxSize == 0 && request.model == BlurModel::Free;
    if (request.maxSize == 0 && !growing && !planes.IsEmpty()) {
        const int32_t fits = std::min(planes.width, planes.height) / 4;
        request.maxSize = std::clamp((fits - 1) | 1, kFreeFormMinSize, kFreeFormMaxSize);
    }
    if (request.model == BlurModel::None) {
        ShowMessage("Name a blur model to estimate: " + AskableBlurModelNames(" or ") + ".");
        return 0;
    }
    if (planes.IsEmpty()) {
        ShowMessage("There is no picture to estimate a blur from.");
        return 0;
    }
    const int32_t width = planes.width, height = planes.height;
    if (!growing && (width < 4 * request.maxSize || height < 4 * request.maxSize)) {
        ShowMessage(
            Format("The picture (%i x %i) is too small to estimate a blur of %i pixels: it must "
                   "be at least four times the blur size on each side.",
                   width, height, request.maxSize));
        return 0;
    }
    std::vector<double> grey;
    try {
        grey = GreyOfPlanes(planes);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the estimate.");
        return 0;
    }
    double lo = grey.front(), hi = lo;
    for (double v : grey) {
        if (!std::isfinite(v)) {
            ShowMessage("The picture holds values that are not finite numbers.");
            return 0;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    if (hi - lo < 1.0) {
        ShowMessage("The picture is flat: there are no edges to estimate a blur from.");
        return 0;
    }
    estimate = CBlurEstimate();

    if (request.model == BlurModel::Free) {
        CFreeFormSettings settings;
        settings.maxSize = request.maxSize;
        CFreeFormReport report;
        const int result = EstimateFreeFormKernel(grey.data(), width, height, settings,
                                                  estimate.kernel, &report, progress);
        if (result != 1) return result;
        estimate.confidence = std::clamp(1.0 - report.settledEnergy, 0.0, 1.0);
        // In a sharp picture, or one of noise alone, the estimate settles on a spot: most of
        // the kernel's weight on a few pixels (a shake of 15 px spreads 90 % of it over 35
        // or more, a sharp photograph's estimate over 2 to 7).
        const int32_t spot = SpotSize(estimate.kernel, 0.9);
        if (spot <= kFreeSpotPixels) {
            estimate.kernel = CKernel();
            estimate.model = BlurModel::None;
            estimate.description =
                Format("no shake found: the free-form estimate settled on a spot of %i pixel%s",
                       spot, spot == 1 ? "" : "s");
            return 1;
        }
        estimate.model = BlurModel::Free;
        estimate.description =
            Format("free kernel %i x %i", estimate.kernel.width, estimate.kernel.height);
        return 1;
    }

    CSpectrum spectrum;
    CMotionFit motion;
    CRingFits rings;
    try {
        const int32_t side =
            std::min({width, height, std::max(kTileSide, 4 * request.maxSize)}) & ~1;
        const double noise = EstimatePlaneNoise(grey.data(), width, height);
        MakeSpectrum(grey, width, height, side, noise, spectrum);
        if (Stopped(progress, 0.1)) return kRestoreCancelled;
        if (request.model == BlurModel::Auto || request.model == BlurModel::Motion) {
            const int result = FitMotion(spectrum, request.maxSize, progress, 0.1, 0.75, motion);
            if (result != 1) return result;
        }
        if (Stopped(progress, 0.95)) return kRestoreCancelled;
        FitRings(spectrum, request.maxSize / 6.0, 0.5 * request.maxSize, rings);
    } catch (const std::bad_alloc&) {
        ShowMessage("Could not allocate memory for the estimate.");
        return 0;
    }
    estimate.motionFit = motion.fit;
    estimate.motionDip = motion.ringDepth;
    estimate.motionDepth = motion.depth;
    // How much better each model explains the ring means than the others.
    // A fit that failed (a picture of noise alone leaves nothing to fit) explains nothing.
    const auto gain = [](double left, double before) {
        const double g = 1.0 - left / before;
        return before > 0.0 && std::isfinite(g) ? std::clamp(g, 0.0, 1.0) : 0.0;
    };
    estimate.defocusFit = gain(rings.defocus, std::min(rings.none, rings.gaussian));
    estimate.gaussianFit = gain(rings.gaussian, rings.none);
    estimate.gaussianSigma = rings.sigma;

    // Each model's score, 0 to 1, 0.5 where auto starts to take it.
    const double motionScore = std::clamp(
        std::max(motion.ringDepth / (2.0 * kMotionDip), motion.depth / (2.0 * kMotionDeep)), 0.0,
        1.0);
    const double defocusScore = std::clamp(estimate.defocusFit / (2.0 * kDefocusGain), 0.0, 1.0);
    const double gaussianScore =
        rings.sigma >= kSharpSigma
            ? std::clamp(estimate.gaussianFit / (2.0 * kGaussianGain), 0.0, 1.0)
            : 0.0;
    BlurModel model = request.model;
    if (model == BlurModel::Auto) {
        if (IsMotion(motion))
            model = BlurModel::Motion;
        else if (estimate.defocusFit >= kDefocusGain && rings.radius >= kSmallestDefocus)
            model = BlurModel::Defocus;
        else if (rings.sigma >= kSharpSigma && estimate.gaussianFit >= kGaussianGain)
            model = BlurModel::Gaussian;
        else
            model = BlurModel::None;
    }
    int made = 1;
    switch (model) {
        case BlurModel::Motion:
            estimate.length = std::max(1.0, motion.length);
            estimate.angle = motion.angle;
            estimate.confidence = motionScore;
            made = MotionKernel(estimate.length, estimate.angle, estimate.kernel);
            estimate.description =
                Format("motion %.1f px at %.1f degrees", estimate.length, estimate.angle);
            MotionMarks(estimate.length, estimate.angle, estimate.marks);
            break;
        case BlurModel::Defocus:
            estimate.radius = std::max(0.5, rings.radius);
            estimate.confidence = defocusScore;
            made = DefocusKernel(estimate.radius, estimate.kernel);
            estimate.description = Format("defocus radius %.1f px", estimate.radius);
            DefocusMarks(estimate.radius, estimate.marks);
            break;
        case BlurModel::Gaussian:
            estimate.sigma = std::max(0.3, rings.sigma);
            estimate.confidence = gaussianScore;
            made = GaussianKernel(estimate.sigma, estimate.kernel);
            estimate.description = Format("gaussian sigma %.1f px", estimate.sigma);
            estimate.marks.ringRadii.push_back(1.0 / (kPi * estimate.sigma * std::sqrt(2.0)));
            break;
        default:
            estimate.model = BlurModel::None;
            estimate.confidence = 1.0 - std::max({motionScore, defocusScore, gaussianScore});
            estimate.description = "no straight motion or defocus found";
            if (progress) progress(1.0);
            return 1;
    }
    if (made != 1) return 0;
    estimate.model = model;
    if (progress) progress(1.0);
    return 1;
}
