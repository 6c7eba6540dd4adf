#pragma once

// The functions of the rows of the table of steps: each adds its step's options to a command
// and returns the step that holds their values. One file step_NAME.cpp defines each.

#include <memory>

#include "cli/run.h"

std::unique_ptr<CStep> DefineFourierStep(CLI::App& command);

std::unique_ptr<CStep> DefineRatioStep(CLI::App& command);
std::unique_ptr<CStep> DefineCompareStep(CLI::App& command);
std::unique_ptr<CStep> DefineColourStep(CLI::App& command);
std::unique_ptr<CStep> DefineSetOriginalStep(CLI::App& command);
std::unique_ptr<CStep> DefineUndoColourStep(CLI::App& command);
std::unique_ptr<CStep> DefineRestoreOriginalStep(CLI::App& command);

std::unique_ptr<CStep> DefineBlurStep(CLI::App& command);
std::unique_ptr<CStep> DefineDeconvolveStep(CLI::App& command);
std::unique_ptr<CStep> DefineMakeStampStep(CLI::App& command);
std::unique_ptr<CStep> DefineUseStampStep(CLI::App& command);
std::unique_ptr<CStep> DefineShowStampStep(CLI::App& command);

std::unique_ptr<CStep> DefineLearnKernelStep(CLI::App& command);
std::unique_ptr<CStep> DefineRestoreStep(CLI::App& command);
std::unique_ptr<CStep> DefineEstimateBlurStep(CLI::App& command);
