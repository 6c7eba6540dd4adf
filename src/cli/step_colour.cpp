// The measuring and colour steps: ratio, compare, colour, set-original, undo-colour and
// restore-original.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <utility>
#include <vector>

#include "cli/number_options.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "document/colour.h"
#include "document/zelvan_doc.h"
#include "platform/user_interface.h"

namespace {

// Ratio Frequency (code 'A'): the ratio text, which the desktop shows in a message box, on
// stdout once; every other message on stderr as usual.
class CRatioStep : public CStep {
public:
    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        CTerminalUi& ui = *context.ui;
        std::vector<CTerminalUi::CHeldMessage> held;
        ui.HoldMessages(&held);
        const bool done = doc.OnRatioFrequency() == 1;
        ui.HoldMessages(nullptr);
        for (const CTerminalUi::CHeldMessage& message : held)
            if (!done || message.text != doc.m_strRatioText) ui.Message(message.text, message.icon);
        if (!done) return false;
        std::printf("%s\n", doc.m_strRatioText.c_str());
        return true;
    }
};

// Compare Result with the reference as the document's Compare name (code '-'); an empty
// name gets the Compare command's message.
class CCompareStep : public CStep {
public:
    explicit CCompareStep(CLI::App& command) {
        command.add_option("--reference", m_reference, "The reference picture (.bmp)")->required();
    }
    bool Prepare() override {
        m_reference = Absolute(m_reference);
        return true;
    }
    bool Run(CStepContext& context) override {
        context.doc->m_strCompareFile = m_reference;
        return context.doc->OnCompareResult() == 1;
    }

private:
    std::string m_reference;
};

// OK of the colour dialog with the values, then the picture from them.
bool AcceptColours(CZelvanDoc& doc, const ColorSettings& values) {
    CColourSession session(doc);
    session.Ok(values);
    doc.RunOperation('X');
    return doc.LastRunCompleted();
}

// The given values become m_colorCurrent as the colour dialog's OK makes them (the old
// values become the undo), then code 'X'. Values not given keep their value.
class CColourStep : public CStep {
public:
    explicit CColourStep(CLI::App& command) {
        const std::pair<const char*, std::optional<int32_t>*> averages[] = {
            {"--blue-average", &m_blueAverage},
            {"--green-average", &m_greenAverage},
            {"--red-average", &m_redAverage}};
        for (const auto& [name, value] : averages)
            AddWholeOption(command, name, *value,
                           "Average offset of the colour in percent of full scale (100 = +255 "
                           "grey levels); default 0");
        const std::pair<const char*, std::optional<int32_t>*> variations[] = {
            {"--blue-variation", &m_blueVariation},
            {"--green-variation", &m_greenVariation},
            {"--red-variation", &m_redVariation}};
        for (const auto& [name, value] : variations)
            AddWholeOption(command, name, *value,
                           "Variation of the colour around its mean, percent; default 100");
        AddWholeOption(command, "--light", m_light, "Light, -100 to 100 percent of full scale",
                       -100, 100);
        AddWholeOption(command, "--contrast", m_contrast, "Contrast, 0 to 200 percent", 0, 200);
        AddWholeOption(command, "--gamma", m_gamma,
                       "Gamma, 0 to 100: below 50 darker, above 50 brighter, 50 unchanged", 0, 100);
        AddWholeOption(command, "--share", m_share,
                       "Share of the Result in the blend with the Original, 0 to 100 percent", 0,
                       100);
    }

    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        ColorSettings values = doc.m_colorCurrent;
        const std::pair<const std::optional<int32_t>&, int32_t&> fields[] = {
            {m_blueAverage, values.m_nBlueAverage},
            {m_blueVariation, values.m_nBlueVariation},
            {m_greenAverage, values.m_nGreenAverage},
            {m_greenVariation, values.m_nGreenVariation},
            {m_redAverage, values.m_nRedAverage},
            {m_redVariation, values.m_nRedVariation},
            {m_light, values.m_nLight},
            {m_contrast, values.m_nContrast},
            {m_gamma, values.m_nGamma},
            {m_share, values.m_nResultShare}};
        for (const auto& [given, value] : fields)
            if (given) value = *given;
        return AcceptColours(doc, values);
    }

private:
    std::optional<int32_t> m_blueAverage, m_greenAverage, m_redAverage;
    std::optional<int32_t> m_blueVariation, m_greenVariation, m_redVariation;
    std::optional<int32_t> m_light, m_contrast, m_gamma, m_share;
};

// The dialog's "Set Original" then OK.
class CSetOriginalStep : public CStep {
public:
    bool Run(CStepContext& context) override {
        return AcceptColours(*context.doc, OriginalColorSettings());
    }
};

// Undo Color; refused with a message when no undo is available.
class CUndoColourStep : public CStep {
public:
    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        if (!doc.m_bColorUndo) {
            ShowMessage(
                "Undo Color is not available: no colour change has been accepted since "
                "the last undo.");
            return false;
        }
        UndoColour(doc);
        return doc.LastRunCompleted();
    }
};

// The view's '+' key (code 'P'): the kept Original back into the Result.
class CRestoreOriginalStep : public CStep {
public:
    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        if (doc.m_hOriginal.IsNull()) {
            ShowMessage("m_hOriginal ==NULL");
            return false;
        }
        doc.RunOperation('P');
        return true;
    }
};

}  // namespace

std::unique_ptr<CStep> DefineRatioStep(CLI::App& /*command*/) {
    return std::make_unique<CRatioStep>();
}
std::unique_ptr<CStep> DefineCompareStep(CLI::App& command) {
    return std::make_unique<CCompareStep>(command);
}
std::unique_ptr<CStep> DefineColourStep(CLI::App& command) {
    return std::make_unique<CColourStep>(command);
}
std::unique_ptr<CStep> DefineSetOriginalStep(CLI::App& /*command*/) {
    return std::make_unique<CSetOriginalStep>();
}
std::unique_ptr<CStep> DefineUndoColourStep(CLI::App& /*command*/) {
    return std::make_unique<CUndoColourStep>();
}
std::unique_ptr<CStep> DefineRestoreOriginalStep(CLI::App& /*command*/) {
    return std::make_unique<CRestoreOriginalStep>();
}
