#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/commands.h"

class CZelvanDoc;
namespace CLI {
class App;
}

// The measuring and colour operations of zelvanto-cli. Each is a step on an open document
// (true when it did its work, with the system's message shown otherwise) and a command of
// its own that opens the input, runs the step and saves the result.

// The values `colour` sets; those not given keep their value.
struct CColourRequest {
    std::optional<int32_t> blueAverage, greenAverage, redAverage;
    std::optional<int32_t> blueVariation, greenVariation, redVariation;
    std::optional<int32_t> light, contrast, gamma, share;
};

// Ratio Frequency (code 'A'): the ratio text on stdout.
bool StepRatio(CZelvanDoc& doc);
// Compare Result with the reference as the document's Compare name (code '-').
bool StepCompare(CZelvanDoc& doc, const std::string& reference);
// The given values become m_colorCurrent as the colour dialog's OK makes them (the old
// values become the undo), then code 'X'.
bool StepColour(CZelvanDoc& doc, const CColourRequest& request);
// The dialog's "Set Original" then OK.
bool StepSetOriginal(CZelvanDoc& doc);
// Undo Color; refused with a message when no undo is available.
bool StepUndoColour(CZelvanDoc& doc);
// The view's '+' key (code 'P'): the kept Original back into the Result.
bool StepRestoreOriginal(CZelvanDoc& doc);

// The options of `colour`, with the ranges of the dialog's trackbars.
void AddColourOptions(CLI::App& command, CColourRequest& request);

// The commands: open, one step, save (ratio saves nothing). Exit status 0 or 1.
enum class CColourCommand { Ratio, Compare, Colour, SetOriginal, UndoColour, RestoreOriginal };
struct CColourCommandRequest {
    CColourCommand command = CColourCommand::Ratio;
    std::string reference;
    CColourRequest colour;
};
int RunColourCommand(const std::string& input, const std::string& output,
                     const CColourCommandRequest& request, std::optional<CSize> size,
                     const CliCommon& common);
