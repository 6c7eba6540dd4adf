#include "cli/colour_commands.h"

#include <CLI/CLI.hpp>
#include <cstdio>

#include "document/colour.h"
#include "document/zelvan_doc.h"
#include "platform/terminal_ui.h"
#include "platform/user_interface.h"

bool StepRatio(CZelvanDoc& doc) {
    if (doc.OnRatioFrequency() != 1) return false;
    std::printf("%s\n", doc.m_strRatioText.c_str());
    return true;
}

bool StepCompare(CZelvanDoc& doc, const std::string& reference) {
    doc.m_strCompareFile = Absolute(reference);
    return doc.OnCompareResult() == 1;
}

namespace {

// OK of the colour dialog with the values, then the picture from them.
bool AcceptColours(CZelvanDoc& doc, const ColorSettings& values) {
    CColourSession session(doc);
    session.Ok(values);
    doc.RunOperation('X');
    return doc.LastRunCompleted();
}

}  // namespace

bool StepColour(CZelvanDoc& doc, const CColourRequest& request) {
    ColorSettings values = doc.m_colorCurrent;
    const std::pair<const std::optional<int32_t>&, int32_t&> fields[] = {
        {request.blueAverage, values.m_nBlueAverage},
        {request.blueVariation, values.m_nBlueVariation},
        {request.greenAverage, values.m_nGreenAverage},
        {request.greenVariation, values.m_nGreenVariation},
        {request.redAverage, values.m_nRedAverage},
        {request.redVariation, values.m_nRedVariation},
        {request.light, values.m_nLight},
        {request.contrast, values.m_nContrast},
        {request.gamma, values.m_nGamma},
        {request.share, values.m_nResultShare}};
    for (const auto& [given, value] : fields)
        if (given) value = *given;
    return AcceptColours(doc, values);
}

bool StepSetOriginal(CZelvanDoc& doc) {
    return AcceptColours(doc, OriginalColorSettings());
}

bool StepUndoColour(CZelvanDoc& doc) {
    if (!doc.m_bColorUndo) {
        ShowMessage(
            "Undo Color is not available: no colour change has been accepted since "
            "the last undo.");
        return false;
    }
    UndoColour(doc);
    return doc.LastRunCompleted();
}

bool StepRestoreOriginal(CZelvanDoc& doc) {
    if (doc.m_hOriginal.IsNull()) {
        ShowMessage("m_hOriginal ==NULL");
        return false;
    }
    doc.RunOperation('P');
    return true;
}

void AddColourOptions(CLI::App& command, CColourRequest& request) {
    const std::pair<const char*, std::optional<int32_t>*> averages[] = {
        {"--blue-average", &request.blueAverage},
        {"--green-average", &request.greenAverage},
        {"--red-average", &request.redAverage}};
    for (const auto& [name, value] : averages)
        command.add_option(name, *value,
                           "Average offset of the colour in percent of full scale (100 = +255 "
                           "grey levels); default 0");
    const std::pair<const char*, std::optional<int32_t>*> variations[] = {
        {"--blue-variation", &request.blueVariation},
        {"--green-variation", &request.greenVariation},
        {"--red-variation", &request.redVariation}};
    for (const auto& [name, value] : variations)
        command.add_option(name, *value,
                           "Variation of the colour around its mean, percent; default 100");
    command.add_option("--light", request.light, "Light, -100 to 100 percent of full scale")
        ->check(CLI::Range(-100, 100));
    command.add_option("--contrast", request.contrast, "Contrast, 0 to 200 percent")
        ->check(CLI::Range(0, 200));
    command
        .add_option("--gamma", request.gamma,
                    "Gamma, 0 to 100: below 50 darker, above 50 brighter, 50 unchanged")
        ->check(CLI::Range(0, 100));
    command
        .add_option("--share", request.share,
                    "Share of the Result in the blend with the Original, 0 to 100 percent")
        ->check(CLI::Range(0, 100));
}

int RunColourCommand(const std::string& input, const std::string& output,
                     const CColourCommandRequest& request, std::optional<CSize> size,
                     const CliCommon& common) {
    CTerminalUi ui;
    SetUpTerminal(ui, size, common);
    CUiScope scope(ui);
    CZelvanDoc doc;
    if (!OpenDocument(doc, Absolute(input), size, ui)) return 1;
    bool done = false;
    switch (request.command) {
        case CColourCommand::Ratio:
            done = StepRatio(doc);
            break;
        case CColourCommand::Compare:
            done = StepCompare(doc, request.reference);
            break;
        case CColourCommand::Colour:
            done = StepColour(doc, request.colour);
            break;
        case CColourCommand::SetOriginal:
            done = StepSetOriginal(doc);
            break;
        case CColourCommand::UndoColour:
            done = StepUndoColour(doc);
            break;
        case CColourCommand::RestoreOriginal:
            done = StepRestoreOriginal(doc);
            break;
    }
    if (!done) return 1;
    if (output.empty()) return 0;
    return SaveDocument(doc, Absolute(output), ui) ? 0 : 1;
}
