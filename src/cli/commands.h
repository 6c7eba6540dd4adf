#pragma once

#include <optional>
#include <string>

#include "platform/geometry.h"

class CFourier;
class CTerminalUi;
class CZelvanDoc;

// The computing commands of zelvanto-cli. Each returns the process exit status
// (0 success, 1 failure); messages of the system go to stderr through the port,
// reports of what was done go to stdout.

struct CliCommon {
    std::optional<bool> answer;  // --yes / --no
    bool progress = false;       // progress line on stderr
};

int RunSizes(int32_t width, int32_t height);
int RunTransform(const std::string& input, const std::string& output, std::optional<CSize> size,
                 const CliCommon& common);
int RunInverse(const std::string& input, const std::string& output, const CliCommon& common);
int RunConvert(const std::string& input, const std::string& output);

// What the fourier command asks for: the operation kind (0 to 12), the parameter of a
// distribution, the frequency X and Y of "One Frequency" and "Shift Picture", and where to
// save the spectrum ("Save Fourier Transform"), if anywhere.
struct CFourierRequest {
    int32_t kind = 0;
    std::optional<double> param;
    std::optional<int32_t> x;
    std::optional<int32_t> y;
    std::string spectrumPath;
};

// An operation kind by number ("0" to "12") or by name (fourier, 1/r, 1/r2, 1/r3, 1/e,
// constant, amplify, one, half, double, shift, third, triple; any case).
std::optional<int32_t> ParseFourierKind(const std::string& text);

// The engine an engine set up for a size uses, and why: "fft engine, by picture size",
// "projection engine, chosen", ...
std::string EngineName(const CFourier& fourier);
// "W x H, N = n (projection engine, ...)", or "W x H (fft engine, ...)": the working size
// and the engine that works on it.
std::string WorkingSizeText(const CFourier& fourier);

// "640x480" into a size; nullopt when it is not two positive numbers.
std::optional<CSize> ParseSize(const std::string& text);

// Shared by the commands that open documents.

// Opens a file into the document as the desktop does and prints what was opened; false,
// with the system's message or ours, when it gives no picture (or not the size asked for).
bool OpenDocument(CZelvanDoc& doc, const std::string& input, std::optional<CSize> size,
                  const CTerminalUi& ui);
// The path made absolute: the document moves the working folder to where it saves, as the
// desktop does, so every name it keeps must not depend on the folder the command started in.
std::string Absolute(const std::string& path);
// Saves the document's picture as the desktop's Save As does and prints what was saved;
// false, with the writers' messages, when it cannot be written.
bool SaveDocument(CZelvanDoc& doc, const std::string& output, const CTerminalUi& ui);
// The preset size, the answer to questions and the progress line of the command line.
void SetUpTerminal(CTerminalUi& ui, std::optional<CSize> size, const CliCommon& common);
// The Time Elapsed column of the Fourier Operations dialog: its rows that hold a time.
struct FourierSettings;
void PrintElapsedTimes(const FourierSettings& settings);
