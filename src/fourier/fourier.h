#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "fourier/complex.h"
#include "platform/geometry.h"

// Counter n = 0, 1, 2, 3, 4 ... to 0, -1, 1, -2, 2 ...: the order in which the engine
// visits frequencies and pixels from the centre outwards, and the order of multiples.
constexpr int32_t ZigZag(int32_t n) {
    return (n & 1) != 0 ? -((n + 1) / 2) : n / 2;
}

// A real value to a pixel byte: floor(v + 0.5), then clamped to 0..255 (NaN gives 0).
// floor(t) is negative exactly when t is, and above 255 exactly when t >= 256; in
// between, truncation is the floor, so no call to floor is needed.
inline uint8_t ByteFromReal(double v) {
    const double t = v + 0.5;
    if (!(t >= 0.0)) return 0;
    if (t >= 256.0) return 255;
    return static_cast<uint8_t>(t);
}

// Which engine Transform and InverseTransform use. The projection engine is exact and the
// reference (the same bits on every machine and for every thread count), but it takes only
// the sizes of size_fit.h and its time grows with the cube of the side; the FFT engine
// (FFTW) takes any size and gives the same layout and normalisation to within rounding,
// in milliseconds where the projection takes minutes.
enum class FourierEngine { Projection, Fft };

// The person's choice of engine: one of the two, or Automatic, which takes the exact engine
// for pictures of at most kExactEngineLargestArea pixels (seconds of work) and the FFT
// engine above.
enum class EngineChoice { Automatic, Projection, Fft };

// Plans and scratch storage of the engines for the current size, made on first use and
// kept until the next SetUp. A copy starts without them and plans afresh.
struct CEngineState;
class CEngineCache {
public:
    CEngineCache() = default;
    CEngineCache(const CEngineCache&) noexcept {}
    CEngineCache& operator=(const CEngineCache&) noexcept {
        m_state.reset();
        return *this;
    }
    CEngineCache(CEngineCache&&) noexcept = default;
    CEngineCache& operator=(CEngineCache&&) noexcept = default;
    ~CEngineCache() = default;

    std::shared_ptr<CEngineState> m_state;
};

// The exact projection Fourier engine. For one frequency (fx, fy) every pixel of a
// channel goes into one of N residue bins, (fx*x*N/W + fy*y*N/H) mod N; a transform of
// length N over those integer bins gives the frequency, and the same bins give all its
// integer multiples. A byte map records what is already known so each frequency (or,
// going back, each pixel) is computed exactly once. N is a common multiple of W and H of
// at most kMaxLength.
//
// Layouts (the engine owns only its tables; the caller allocates and locks the blocks):
//  - picture: H rows of rowStride bytes, byte (x, y, ch) at ch + 3x + y*rowStride, channel
//    0 blue, 1 green, 2 red, row 0 the first stored row;
//  - real picture: H*rowStride doubles indexed like the picture bytes;
//  - spectrum: 3*W*H Complex, (fx, fy, ch) at ch*W*H + (fy + H/2)*W + (fx + W/2), with
//    fx in -W/2 .. W/2-1 and fy in -H/2 .. H/2-1; normalised by 1/(W*H) and centred;
//  - byte map: W*H bytes, per frequency (forward) or per pixel x + y*W (inverse).
//
// Every result is a plain serial evaluation in a fixed order, so the same input gives the
// same bits on every machine (the project builds without floating-point contraction).
class CFourier {
public:
    static constexpr int32_t kMaxLength = 4096;

    // Progress of long work: called with the fraction done; returning false stops it.
    using Progress = std::function<bool(double)>;

    CFourier();
    virtual ~CFourier();

    // The largest picture (in pixels) that Automatic gives the exact engine: 320 x 240,
    // whose transform and inverse take about two seconds; 640 x 480 takes a minute.
    static constexpr int64_t kExactEngineLargestArea = int64_t{320} * 240;
    // The most pixels a spectrum may have: as many as the largest picture the readers take.
    static constexpr int64_t kMaxSpectrumPixels = int64_t{1} << 27;

    // The engine choice of this process (default: Automatic), and the number of threads the
    // transforms use (0, the default: every hardware thread). The projection engine's
    // results do not depend on the thread count. SetEngine is an explicit choice.
    static void SetEngineChoice(EngineChoice choice);
    static EngineChoice ChosenEngine();
    static void SetEngine(FourierEngine engine);
    // The engine the choice in force gives a picture of width x height.
    static FourierEngine EngineForPicture(int64_t width, int64_t height);
    static void SetThreadCount(int32_t count);
    // The count in force, 0 resolved to the hardware threads.
    static int32_t ThreadCount();

    // Sets the engine up for W x H pixels, a picture row stride in bytes, the picture's
    // row count and transform length N; builds the phase table. Refuses (false, engine
    // unchanged) sizes the tables cannot serve: W or H not positive and even, N not a
    // multiple of 4, W and H, N above kMaxLength, or a stride shorter than 3*W.
    // N = 0 sets the engine up without the projection, for the FFT engine alone: then any
    // W, H of at least 1 pixel and at most kMaxSpectrumPixels in all are taken.
    bool SetUp(int32_t width, int32_t height, int32_t rowStride, int32_t rows, int32_t length);

    // The engine Transform and InverseTransform use now: the FFT engine when the engine is
    // set up without the projection (N = 0), else the one the choice gives the size.
    FourierEngine ActiveEngine() const;
    // "projection engine" or "fft engine", and why: "by picture size", "chosen", or that
    // the exact engine takes no picture of this size.
    std::string EngineDescription() const;

    // Forward transform of all three channels into the centred spectrum with the chosen
    // engine; the map is scratch. False when the progress callback stopped it (spectrum
    // then incomplete). Progress is reported on the calling thread; the projection engine
    // plans the size on its first transform (see TransformSerial for the plain loops).
    bool Transform(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                   const Progress& progress = {});

    // One frequency of a channel and all its in-range multiples not yet in the map.
    // The two variants give the same bits; the second masks instead of reducing modulo N
    // and falls back to the first when N is not a power of two.
    void TransformFrequency(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                            int32_t channel, int32_t fx, int32_t fy);
    void TransformFrequencyPowerOfTwo(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                                      int32_t channel, int32_t fx, int32_t fy);

    // Negates, in all three planes, every value whose fx and fy differ in parity.
    void CentreSpectrum(Complex* spectrum) const;

    // Spectrum back to the real picture (not rounded) with the chosen engine; the map is
    // scratch. False when the progress callback stopped it.
    bool InverseTransform(double* real, const Complex* spectrum, uint8_t* map,
                          const Progress& progress = {});

    // The projection transforms as plain serial loops over TransformFrequency and
    // InversePixel in zig-zag order, one channel after the other. The planned engine gives
    // the same bits; these stay as the reference and the fallback.
    bool TransformSerial(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                         const Progress& progress = {});
    bool InverseTransformSerial(double* real, const Complex* spectrum, uint8_t* map,
                                const Progress& progress = {});

    // One output pixel (x, y) of a channel from that channel's spectrum plane, and all its
    // in-range multiples about the centre not yet in the map. Both variants give the same
    // bits, as for TransformFrequency.
    void InversePixel(double* real, const Complex* plane, uint8_t* map, int32_t x, int32_t y,
                      int32_t channel);
    void InversePixelPowerOfTwo(double* real, const Complex* plane, uint8_t* map, int32_t x,
                                int32_t y, int32_t channel);

    // Sets all W*H bytes of the map.
    void ClearMap(uint8_t* map, uint8_t value) const;
    // 3*W bytes of every row from the reals at the same index (padding untouched).
    void RealsToBytes(uint8_t* picture, const double* real) const;
    void BytesToReals(const uint8_t* picture, double* real) const;

    // The centred spectrum of a picture that is 1 at pixel (x0, y0) and 0 elsewhere, in
    // all three planes; the same bits as Transform of such a picture.
    void ImpulseSpectrum(int32_t x0, int32_t y0, Complex* spectrum) const;

    // Per-channel mean and (population) standard deviation of a picture.
    void MeasurePicture(const uint8_t* picture);
    // The same statistics from a spectrum: the DC real part and the Variation.
    void MeasureSpectrum(const Complex* spectrum);

    // Square root of the summed squared magnitudes of all non-zero frequencies.
    double Variation(const Complex* spectrum, int32_t channel) const;
    // Real part of F(0, 0).
    double DcValue(const Complex* spectrum, int32_t channel) const;
    // Smallest over largest squared magnitude of the non-zero frequencies (both start
    // from F(-W/2, -H/2)); NaN when every non-zero frequency is 0.
    double PowerRatio(const Complex* spectrum, int32_t channel) const;

    // ".ft" Fourier data file: 8-byte header (a field for W, one for H), then the spectrum
    // entries as little-endian doubles, real then imaginary, in spectrum order. A field
    // holds half its side, W/2, when the side is even (every file of the exact engine);
    // an odd side, which only the FFT engine works on, is stored negated (-W), so that no
    // reader that knows only half sides takes the file for another size. 1 done, 0 failed.
    // After the entries a file may hold the print of the picture its spectrum was made
    // from (24 bytes: "ZVPRINT1", int32 W, int32 H, uint64 XXH3-64 of the pixel bytes);
    // files without it are read as before. Writing stores the print of the last picture
    // transformed (or read with the spectrum). Reading refuses entries that are not finite,
    // naming the file.
    int WriteFourierFile(const std::string& path, const Complex* spectrum) const;
    int ReadFourierFile(const std::string& path, Complex* spectrum) const;

    // The print of a picture: its sides and a 64-bit hash of its pixel bytes (3 W a row,
    // without the row padding).
    struct PicturePrint {
        int32_t width = 0;
        int32_t height = 0;
        uint64_t hash = 0;
        bool operator==(const PicturePrint&) const = default;
    };
    // The print of a picture of the engine's size and row stride.
    PicturePrint PrintOf(const uint8_t* picture) const;
    // The print the spectrum in hand belongs to: set by Transform and by reading a file that
    // holds one; `known` false when there is none.
    void SetSpectrumPrint(const PicturePrint& print, bool known) const {
        m_print = print;
        m_printKnown = known;
    }
    bool SpectrumPrintKnown() const { return m_printKnown; }
    const PicturePrint& SpectrumPrint() const { return m_print; }

    // Whether the ".ft" file at path holds the spectrum of a picture: Absent for a file
    // that is not there, cannot be read, is of another size or shorter than its header
    // promises; Stale for one whose print names another picture, or that has no print and
    // is older than picturePath (when given); Matches otherwise. Reads no entries.
    enum class FileMatch { Matches, Absent, Stale };
    FileMatch MatchFourierFile(const std::string& path, const PicturePrint& picture,
                               const std::string& picturePath) const;
    // Reads only the header: halfSize = the two fields as stored in the file (W/2, H/2
    // for even sides).
    int ReadFourierFileSize(const std::string& path, CSize& halfSize) const;
    // The picture size (W, H) of a ".ft" file, when the file is one that can be read:
    // header fields giving at least one pixel a side and at most kMaxSpectrumPixels, and
    // a file long enough for the spectrum its header promises. 1, or 0 with a message
    // saying what is wrong.
    static int ReadFourierPictureSize(const std::string& path, CSize& size);
    // The header field of a side (side/2 when even, -side when odd), and the side of a
    // field (0 for a field that names none: 0, or a negated even number).
    static int32_t HeaderField(int32_t side);
    static int64_t SideOfHeaderField(int32_t field);
    // The two header fields of the engine's size, as ReadFourierFileSize gives them.
    CSize HeaderPair() const { return {HeaderField(m_width), HeaderField(m_height)}; }

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t RowStride() const { return m_rowStride; }
    int32_t Rows() const { return m_rows; }
    int32_t HalfWidth() const { return m_halfWidth; }
    int32_t HalfHeight() const { return m_halfHeight; }
    int32_t Length() const { return m_length; }
    int32_t PlaneSize() const { return m_planeSize; }
    bool IsPowerOfTwo() const { return m_isPowerOfTwo; }
    // Entry k = (cos 2*pi*k/N, sin 2*pi*k/N) for k < N.
    const Complex* Table() const { return m_table; }
    // Statistics of the measured picture, channel 0 blue, 1 green, 2 red.
    double Mean(int32_t channel) const;
    double Deviation(int32_t channel) const;

    // Line workers with explicit scratch storage (N entries). They only read the engine,
    // so several may run at once on disjoint storage, spectrum entries and map bytes.
    template <bool kPowerOfTwo>
    void TransformLine(const uint8_t* picture, Complex* spectrum, uint8_t* map, int32_t channel,
                       int32_t fx, int32_t fy, uint32_t* histogram) const;
    template <bool kPowerOfTwo>
    void InverseLine(double* real, const Complex* plane, uint8_t* map, int32_t x, int32_t y,
                     int32_t channel, Complex* accumulator) const;

    // The pieces of a line: the projection of one frequency of a channel into N bins, the
    // value of the multiple with residue step (g + N) mod N from those bins, and the same
    // two for one pixel of the inverse transform.
    template <bool kPowerOfTwo>
    void ProjectFrequency(const uint8_t* picture, int32_t channel, int32_t fx, int32_t fy,
                          uint32_t* histogram) const;
    template <bool kPowerOfTwo>
    Complex HistogramValue(const uint32_t* histogram, int32_t step) const;
    template <bool kPowerOfTwo>
    void ProjectPixel(const Complex* plane, int32_t x, int32_t y, Complex* accumulator) const;
    template <bool kPowerOfTwo>
    double AccumulatorValue(const Complex* accumulator, int32_t step) const;

    // Frequency-domain modifications
    // They change a centred spectrum between the forward and the inverse transform and keep
    // the phase of every frequency. R2 below is fx*fx + fy*fy in frequency steps.

    // A distribution: the real factor for a frequency of magnitude a (squared magnitude s)
    // at (fx, fy), with the kind's parameter p.
    using Distribution = double (*)(double a, double p, double s, int32_t fx, int32_t fy);
    // Resulting magnitudes: 1/sqrt(p*p + R2), 1/(p*p + R2), (p*p + R2)^-1.5, exp(-R/p),
    // 1 (p ignored) and a^p.
    static double DistributionR1(double a, double p, double s, int32_t fx, int32_t fy);
    static double DistributionR2(double a, double p, double s, int32_t fx, int32_t fy);
    static double DistributionR3(double a, double p, double s, int32_t fx, int32_t fy);
    static double DistributionE(double a, double p, double s, int32_t fx, int32_t fy);
    static double DistributionConstant(double a, double p, double s, int32_t fx, int32_t fy);
    static double DistributionAmplify(double a, double p, double s, int32_t fx, int32_t fy);
    // The distribution of operation kinds 1 to 6; null for any other kind.
    static Distribution DistributionOfKind(int32_t kind);

    // All three channels: every non-zero frequency with s > 1e-20 is multiplied by the
    // distribution's factor; the others, and the zero frequency, keep their value.
    void ApplyDistribution(Complex* spectrum, double p, Distribution distribution) const;
    // Scales the channel's non-zero frequencies to the target variation and sets the real
    // part of its zero frequency to the mean. A variation below target*1e-30 is reported
    // ("Too small variation, result set at 1") and taken as 1; a channel whose variation
    // and target are both 0 keeps its non-zero frequencies at 0.
    void Normalise(Complex* spectrum, int32_t channel, double mean, double target) const;
    // Every value of the three planes becomes (0, 0), except (1, 0) at (fx0, fy0) when that
    // frequency lies in the spectrum.
    void SetOneFrequency(Complex* spectrum, int32_t fx0, int32_t fy0) const;
    // Mode 0 "Half Frequency", 1 "Double Frequency", 2 "Third of Frequency", 3 "Triple
    // Frequency": frequencies move to a divided or multiplied position; the zero frequency
    // becomes (0, 0). Shows "ModifyFreq2 Modify %i, Factor %i" first. scratch holds at
    // least W*H values.
    void ScaleFrequencies(Complex* spectrum, Complex* scratch, int32_t mode) const;
    // Multiplies every non-zero frequency by the phase ramp that moves the picture by
    // (-dx, -dy) pixels, cyclically, through the inverse transform.
    void ShiftPicture(Complex* spectrum, int32_t dx, int32_t dy) const;
    // End of the frequency-domain modifications

private:
    bool SetUpWithoutProjection(int32_t width, int32_t height, int32_t rowStride, int32_t rows);
    void ImpulseSpectrumOfAnySize(int32_t x0, int32_t y0, Complex* spectrum) const;
    void ShiftPictureOfAnySize(Complex* spectrum, int32_t dx, int32_t dy) const;
    bool TransformProjection(const uint8_t* picture, Complex* spectrum, uint8_t* map,
                             const Progress& progress);
    bool InverseProjection(double* real, const Complex* spectrum, uint8_t* map,
                           const Progress& progress);
    bool TransformFft(const uint8_t* picture, Complex* spectrum, const Progress& progress);
    bool InverseFft(double* real, const Complex* spectrum, const Progress& progress);
    // The engine state for the current size, made when missing.
    CEngineState& State();

    // Frequencies run fx = -W/2 .. EndX()-1 and fy = -H/2 .. EndY()-1 (W/2 - 1 and H/2 - 1
    // for even sides, W/2 and H/2 for odd ones).
    int32_t EndX() const { return m_width - m_halfWidth; }
    int32_t EndY() const { return m_height - m_halfHeight; }
    // Index of (fx, fy) within a plane.
    int32_t FrequencyIndex(int32_t fx, int32_t fy) const {
        return (fy + m_halfHeight) * m_width + (fx + m_halfWidth);
    }
    // (g + N) mod N for any g.
    int32_t ResidueStep(int32_t g) const { return ((g % m_length) + m_length) % m_length; }

    double m_invWidth = 0.0;   // 1/W
    double m_invHeight = 0.0;  // 1/H
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_rowStride = 0;  // bytes per picture row, doubles per real-picture row
    int32_t m_rows = 0;       // row count given at set-up (equal to H)
    int32_t m_halfWidth = 0;  // W/2 and H/2: the pair a ".ft" header holds
    int32_t m_halfHeight = 0;
    int32_t m_stepX = 0;  // N/W
    int32_t m_stepY = 0;  // N/H
    int32_t m_length = 0;
    int32_t m_planeSize = 0;
    Complex m_table[kMaxLength];
    // Unsigned 32-bit bins: one bin may reach 255*W*H = 4278190080 for a white
    // 4096 x 4096 picture, which fits and converts exactly to double.
    uint32_t m_histogram[kMaxLength];
    Complex m_accumulator[kMaxLength];
    bool m_isPowerOfTwo = false;
    int32_t m_mask = 0;  // N-1
    double m_meanRed = 0.0;
    double m_meanBlue = 0.0;
    double m_meanGreen = 0.0;
    double m_stdRed = 0.0;
    double m_stdBlue = 0.0;
    double m_stdGreen = 0.0;
    CEngineCache m_cache;
    mutable PicturePrint m_print;
    mutable bool m_printKnown = false;
};
