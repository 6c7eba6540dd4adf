#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/geometry.h"

// The five paths of the program's blur as one table: what the dialogs show, what the
// command line calls them, and the offsets they walk. The blur, the blur dialog, the Restore
// dialog, the kernel maker and the command line read it.
struct CBlurPathRow {
    int32_t kind = 0;          // the blur settings' kind, 0 to 4
    const char* caption = "";  // as the dialogs show it
    const char* cliName = "";  // the command line's name, lower case
    // A second name the command line takes ("5" for "Blur 5"); null when there is none.
    const char* otherName = nullptr;
    int radioId = 0;  // its radio button in the blur dialog
    // The offset of sample p >= 1 along the path; sample 0 is the pixel itself.
    CPoint (*offset)(int32_t p) = nullptr;
};

inline constexpr int32_t kBlurPathCount = 5;

// Every path, in the order of their kinds.
std::span<const CBlurPathRow> BlurPathRows();

// The row of a kind; null outside 0 .. 4.
const CBlurPathRow* FindBlurPath(int32_t kind);

// A kind by number ("0" to "4") or by one of its command-line names, without regard to case.
std::optional<int32_t> BlurPathByName(const std::string& text);

// "0 horizontal, 1 vertical, 2 right-down, 3 random, 4 five (or 5)": what the command line
// takes.
std::string BlurPathNameList();

// The largest number of steps the blur walks; more are reduced to it.
inline constexpr int32_t kMaxBlurSteps = 40;

// The largest attenuation, in magnitude, that the blur takes: a weight of 1000^39 along the
// longest path still sums to a finite number, so every blurred value stays finite.
inline constexpr double kMaxBlurAttenuation = 1000.0;

// The offsets of the path of the given kind: steps pairs, the first (0, 0). Sample p of the
// blurred pixel (x, y) is the source pixel (x + dx[p], y + dy[p]). A kind outside the table
// walks nothing but the pixel itself.
void BlurPathOffsets(int32_t kind, int32_t steps, std::vector<int32_t>& dx,
                     std::vector<int32_t>& dy);

// The rules of the blur's values, the same for the blur dialog and every maker of a blur: a
// kind of the table, at least 1 step (more than kMaxBlurSteps are reduced when the blur
// runs), a finite attenuation from -kMaxBlurAttenuation to kMaxBlurAttenuation. Empty when
// they pass, else the message.
std::string CheckBlurValues(int32_t kind, int32_t steps, double attenuation);

// The program's own blur: each pixel becomes the weighted mean of the samples along a path
// of offsets (see BlurPathOffsets), sample p weighing attenuation^p, so the pixel itself
// weighs 1. Without "within size" the path wraps around the picture's edges; with it the
// samples outside are dropped and the remaining weights renormalised.
//
// Picture bytes and real planes are laid out as the engine lays them out: byte (x, y, c) at
// c + 3x + y * rowStride, the reals indexed like the bytes.
struct CBlurParameters {
    int32_t kind = 0;  // 0 "Blur Horizontal" ... 4 "Blur 5"
    int32_t steps = 10;
    double attenuation = 0.6;
    bool withinSize = false;
};

// The blur computation. More than kMaxBlurSteps steps show "Blur modifier reduced" and walk
// that many. Fewer than 1 step leave no sample, and a pixel whose weights sum to 0 (or to
// nothing finite) has no mean: such pixels keep their own value. Rows are shared among
// `threads` threads (0: the engine's thread count); every pixel's sum is independent and
// computed in the same order, so the result does not depend on the thread count.
void BlurPicture(const uint8_t* picture, double* real, int32_t width, int32_t height,
                 int32_t rowStride, const CBlurParameters& blur, int32_t threads = 0);

// The same as one plain loop on the calling thread: the reference the parallel one equals.
void BlurPictureSerial(const uint8_t* picture, double* real, int32_t width, int32_t height,
                       int32_t rowStride, const CBlurParameters& blur);
