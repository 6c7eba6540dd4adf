#pragma once

// The steps of zelvanto-cli: operations on one open document, each spelt with the same words
// as the command of that name. `run IN STEP... -o OUT` runs several in order on one document;
// every one-operation command is a run of one step through the same table.
//
// Adding a step: a file step_NAME.cpp with a class deriving from CStep and a function that
// adds its options to a command and returns it (declared in cli/steps.h), and one row in
// StepTable() (step_table.cpp). Its command of its own and its place in `run` follow.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "image/dib.h"
#include "platform/geometry.h"

class CTerminalUi;
class CZelvanDoc;
namespace CLI {
class App;
}

// What a step works on.
enum class StepInput {
    // An open document: IN is opened as `open` does, the result saved as Save As does.
    Document,
    // A picture. In a run, the document's picture; as a command of its own, IN read as it
    // stands (any picture file this program reads, any size, not fitted) and written by kind.
    Picture,
    // Neither: as a command of its own there is no IN, and no -o unless the step has one.
    None,
};

// What a running step is given.
struct CStepContext {
    CZelvanDoc* doc = nullptr;     // the run's document; null for a command without one
    DibHandle* picture = nullptr;  // the picture: the document's, or the command's own
    CTerminalUi* ui = nullptr;
    const CliCommon* common = nullptr;
};

// One step, its options' values bound by the function of its row.
class CStep {
public:
    virtual ~CStep() = default;
    // After its words are parsed and before anything is opened: the checks that need no
    // document, and paths made absolute (the document moves the working folder to where it
    // saves). False with the reason shown.
    virtual bool Prepare() { return true; }
    // Does the step's work; false, with the system's message or ours shown, stops the run.
    virtual bool Run(CStepContext& context) = 0;
};

// One row of the table of steps.
struct CStepRow {
    const char* name;     // the step's first word and its command's name
    const char* summary;  // what the command's help says of it
    StepInput input;
    // True when the step changes the picture, so that its command must be told where to
    // save it (-o is required); otherwise -o is optional.
    bool changesPicture;
    // Adds the step's options to a command (a step's own words, or its command of its own)
    // and returns the step that holds their values once parsed.
    std::unique_ptr<CStep> (*define)(CLI::App& command);
};

// Every step, in the order the help lists them.
const std::vector<CStepRow>& StepTable();
// The row of that name; null when there is none.
const CStepRow* FindStep(const std::string& name);

// The options that belong to a run, not to its steps.
struct CRunOptions {
    CliCommon common;
    std::string engine = "auto";
    std::optional<int32_t> threads;
    std::string size;    // WxH
    std::string output;  // where the result is saved; empty: nothing is saved
};

// Which of the run's options a command takes.
enum RunOptionSet : unsigned {
    kRunEngine = 1,    // --engine, --threads
    kRunProgress = 2,  // --progress / --no-progress
    kRunSize = 4,      // --size WxH
    kRunAnswer = 8,    // --yes / --no
    kRunOutput = 16,   // -o, --output (optional)
    kRunOutputRequired = 32,
    kRunAll = kRunEngine | kRunProgress | kRunSize | kRunAnswer | kRunOutput,
};

// Adds the run's options of the set to a command, leaving out any whose name the command
// already uses for an option of its own.
void AddRunOptions(CLI::App& command, CRunOptions& options, unsigned set);

// Puts the engine and thread count in force and reads --size; false, with the reason on
// stderr, when the size is not WxH.
bool ApplyRunOptions(const CRunOptions& options, std::optional<CSize>& size);

// Parses the words of one step ("fourier --kind 1/r --param 2"): its name, then its options.
// Null, with the reason on stderr, when the name is unknown, the words do not parse or the
// step's checks refuse them. `help` is set (and the step's help printed) when the words
// ask for it.
std::unique_ptr<CStep> ParseStep(const std::string& words, bool& help);

// Opens the input as `open` does, runs the steps in order on that one document and saves as
// Save As does when options.output is set. A step that fails stops the run: exit status 1 and
// nothing is saved. `named` says which step failed on stderr (a run of several steps).
int RunSteps(const std::string& input, const std::vector<CStep*>& steps, const CRunOptions& options,
             bool named);

// The command of its own for a step: opens, runs the one step and saves by the row's input.
int RunStepCommand(const CStepRow& row, const std::string& input, CStep& step,
                   const CRunOptions& options);
