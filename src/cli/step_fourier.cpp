// fourier --kind K [--param P] [--x X] [--y Y] [--save-ft PATH]

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "document/zelvan_doc.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_kinds.h"
#include "fourier/fourier_settings.h"
#include "platform/clock.h"

namespace {

class CFourierStep : public CStep {
public:
    explicit CFourierStep(CLI::App& command) {
        command
            .add_option("--kind", m_kindText,
                        "Operation, by number or name: 0 fourier, 1 1/r, 2 1/r2, 3 1/r3, 4 1/e, "
                        "5 constant, 6 amplify, 7 one, 8 half, 9 double, 10 shift, 11 third, "
                        "12 triple")
            ->required();
        AddRealOption(command, "--param", m_request.param,
                      "Parameter of kinds 1 to 4 (0 to 1000; 1/e 0.01 to 100000000) and the "
                      "exponent of kind 6 (-10 to 10); default 2, and 1 for kind 6");
        AddWholeOption(command, "--x", m_request.x,
                       "Frequency X of kind 7, columns to shift for kind 10");
        AddWholeOption(command, "--y", m_request.y,
                       "Frequency Y of kind 7, rows to shift for kind 10");
        command.add_option("--save-ft", m_request.spectrumPath,
                           "First save the untouched spectrum under this name (Save Fourier "
                           "Transform); on closing, the document offers to delete its spectrum "
                           "file (kept unless the answer is --yes)");
    }

    bool Prepare() override {
        const std::optional<int32_t> kind = ParseFourierKind(m_kindText);
        if (!kind) {
            std::fprintf(stderr,
                         "--kind takes 0 to 12 or a name (fourier, 1/r, ...), not \"%s\".\n",
                         m_kindText.c_str());
            return false;
        }
        m_request.kind = *kind;
        const CFourierKindRow& row = *FindFourierKind(*kind);
        if (m_request.param && row.parameter == nullptr) {
            std::fprintf(stderr, "--param is not used by %s.\n", row.caption);
            return false;
        }
        if ((m_request.x || m_request.y) && !row.usesXY) {
            std::fprintf(stderr, "--x and --y are used by One Frequency and Shift Picture only.\n");
            return false;
        }
        m_request.spectrumPath = Absolute(m_request.spectrumPath);
        return m_request.spectrumPath.empty() ||
               CheckOutput(m_request.spectrumPath, OutputKind::Spectrum);
    }

    bool Run(CStepContext& context) override {
        CZelvanDoc& doc = *context.doc;
        CTerminalUi& ui = *context.ui;
        const int32_t kind = m_request.kind;
        const CFourierKindRow& row = *FindFourierKind(kind);
        const char* caption = row.caption;
        const int refusedBefore = ui.RefusedDialogs();
        const CStopwatch watch;
        if (row.dialog == FourierKindDialog::kOperations) {
            ui.SetFourierOperations(CFourierOpsPreset{kind, m_request.param});
            CWaitCursor wait;
            doc.RunOperation(0);
        } else {
            ui.SetNumberDialog(CNumberPreset{kind - kKindOneFrequency, m_request.x, m_request.y});
            doc.OnSetOneFrequency();
        }
        ui.SetFourierOperations(std::nullopt);
        ui.SetNumberDialog(std::nullopt);
        if (ui.RefusedDialogs() != refusedBefore || !doc.LastRunCompleted()) {
            ShowMessage(Format("%s was not done.", caption));
            return false;
        }
        std::printf("%s done in %.3f s (%s)\n", caption, watch.Seconds(),
                    EngineName(doc.m_fourier).c_str());
        PrintElapsedTimes(doc.m_settings);

        if (!m_request.spectrumPath.empty()) {
            ui.SetFileDialogPath(m_request.spectrumPath);
            const int saved = doc.OnSaveFourierTransform();
            ui.SetFileDialogPath(std::nullopt);
            if (saved != 1) return false;
            std::printf("Spectrum saved: %s\n", doc.m_strFourierPath.c_str());
        }
        return true;
    }

private:
    std::string m_kindText;
    CFourierRequest m_request;
};

}  // namespace

std::unique_ptr<CStep> DefineFourierStep(CLI::App& command) {
    return std::make_unique<CFourierStep>(command);
}
