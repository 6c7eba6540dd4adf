// The blur and rubber stamp steps: blur, deconvolve, make-stamp, use-stamp and show-stamp.
// Each answers the dialog its desktop command shows, so the document runs what it runs there.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <optional>

#include "cli/number_options.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "platform/user_interface.h"
#include "stamp/blur.h"
#include "stamp/stamp_dialogs.h"

namespace {

// "Blur ..." with the dialog's values, those given replacing them, then OK.
class CBlurStep : public CStep {
public:
    explicit CBlurStep(CLI::App& command) {
        command.add_option("--kind", m_kindText,
                           "Path of the blur, by number or name: " + BlurPathNameList() +
                               "; default the dialog's (0)");
        AddWholeOption(command, "--steps", m_steps,
                       "Blur steps, 1 to 40 (more are reduced to 40); default the dialog's (10)",
                       1);
        AddRealOption(command, "--attenuation", m_attenuation,
                      "Weight of each step after the first, times the one before, -1000 to "
                      "1000; default the dialog's (0.6)",
                      -kMaxBlurAttenuation, kMaxBlurAttenuation);
        command.add_flag("--within-size", m_withinSize,
                         "Blur within the picture instead of wrapping at its edges");
    }
    bool Prepare() override {
        if (m_kindText.empty()) return true;
        m_kind = BlurPathByName(m_kindText);
        if (!m_kind) {
            std::fprintf(stderr, "--kind %s is not a blur kind (%s).\n", m_kindText.c_str(),
                         BlurPathNameList().c_str());
            return false;
        }
        return true;
    }
    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        BlurSettings values = doc.m_blur;
        if (m_kind) values.m_nBlurKind = *m_kind;
        if (m_steps) values.m_nBlurSteps = *m_steps;
        if (m_attenuation) values.m_dBlurAttenuation = *m_attenuation;
        if (m_withinSize) values.m_bBlurWithinSize = true;
        const int refusedBefore = context.ui->RefusedDialogs();
        context.ui->SetBlurDialog(values);
        doc.OnBlur();
        context.ui->SetBlurDialog(std::nullopt);
        if (context.ui->RefusedDialogs() != refusedBefore || !doc.LastRunCompleted()) return false;
        std::printf("%s, %i steps, attenuation %g%s\n", BlurKindCaption(doc.m_blur.m_nBlurKind),
                    doc.m_blur.m_nBlurSteps, doc.m_blur.m_dBlurAttenuation,
                    doc.m_blur.m_bBlurWithinSize ? ", within size" : "");
        return true;
    }

private:
    std::string m_kindText;
    std::optional<int32_t> m_kind;
    std::optional<int32_t> m_steps;
    std::optional<double> m_attenuation;
    bool m_withinSize = false;
};

// "Zelvanto Files ..." ended with a button, the names given entered first.
class CZelvantoStep : public CStep {
public:
    CZelvantoStep(CLI::App& command, int result) : m_result(result) {
        if (result == kIdOk || result == kZelvantoMakeStamp) {
            command.add_option("--good", m_good, "The sharp example picture (Good File)")
                ->required();
            command
                .add_option("--blurred", m_blurred, "The blurred example picture (Blurred File)")
                ->required();
        } else {
            command
                .add_option("--stamp", m_blurred,
                            "The stamp: a .stp file, or a picture whose name with .stp "
                            "instead of its extension is the stamp")
                ->required();
        }
        if (result == kIdOk)
            command.add_option("--compare", m_compare,
                               "The Compare File kept for compare (optional)");
        if (result == kZelvantoUseStamp) {
            AddRealListOption(command, "--try", m_tries,
                              "One Try Fraction with this Fraction of the peak; repeat for "
                              "more, in order");
            command.add_option("--peak", m_peakText,
                               "The peak position X,Y for Use This; default the stamp's own");
            auto* save = command.add_flag("--save-cut", m_save,
                                          "Answer Yes to \"Save this stamp? \": the cut "
                                          "replaces the stamp file");
            command.add_flag("--no-save-cut", m_noSave, "Answer No (the default)")->excludes(save);
        }
    }
    bool Prepare() override {
        m_good = m_good.empty() ? m_good : Absolute(m_good);
        m_blurred = Absolute(m_blurred);
        m_compare = m_compare.empty() ? m_compare : Absolute(m_compare);
        if (!m_peakText.empty()) {
            const auto peak = ParseWholePair(m_peakText, ',');
            if (!peak) {
                std::fprintf(stderr,
                             "--peak takes X,Y, two whole numbers, for example 3,-2, not "
                             "\"%s\".\n",
                             m_peakText.c_str());
                return false;
            }
            m_peak = CPoint{peak->first, peak->second};
        }
        return true;
    }
    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        CTerminalUi& ui = *context.ui;
        CZelvantoPreset preset;
        preset.result = m_result;
        if (!m_good.empty()) preset.good = m_good;
        preset.blurred = m_blurred;
        // The Compare name is replaced by whatever the dialog ends with, as on the desktop.
        preset.compare = m_compare;
        ui.SetZelvantoDialog(preset);
        ui.SetStampCut(CStampCutPreset{m_tries, m_peak});
        if (m_result == kZelvantoUseStamp) ui.SetAnswer(m_save);
        doc.OnZelvantoFiles();
        ui.SetZelvantoDialog(std::nullopt);
        ui.SetAnswer(std::nullopt);
        if (!doc.LastRunCompleted()) return false;
        if (m_result == kZelvantoMakeStamp)
            std::printf("Stamp written: %s\n", (BaseName(m_blurred) + ".stp").c_str());
        return true;
    }

private:
    int m_result;
    std::string m_good, m_blurred, m_compare, m_peakText;
    std::vector<double> m_tries;
    std::optional<CPoint> m_peak;
    bool m_save = false;
    bool m_noSave = false;
};

}  // namespace

std::unique_ptr<CStep> DefineBlurStep(CLI::App& command) {
    return std::make_unique<CBlurStep>(command);
}
std::unique_ptr<CStep> DefineDeconvolveStep(CLI::App& command) {
    return std::make_unique<CZelvantoStep>(command, kIdOk);
}
std::unique_ptr<CStep> DefineMakeStampStep(CLI::App& command) {
    return std::make_unique<CZelvantoStep>(command, kZelvantoMakeStamp);
}
std::unique_ptr<CStep> DefineUseStampStep(CLI::App& command) {
    return std::make_unique<CZelvantoStep>(command, kZelvantoUseStamp);
}
std::unique_ptr<CStep> DefineShowStampStep(CLI::App& command) {
    return std::make_unique<CZelvantoStep>(command, kZelvantoShowStamp);
}
