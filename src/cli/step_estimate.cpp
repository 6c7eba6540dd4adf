// estimate-blur [--model auto|motion|defocus|gaussian|free] [--size N] [-o K.stp]
//
// Prints the blur the picture shows and writes its kernel. When no blur is found the exit
// status is 0 (the picture was read and measured: that it is sharp, or shows no blur the
// models know, is an answer), no kernel is written and the output says so.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "cli/number_options.h"
#include "cli/output_checks.h"
#include "cli/steps.h"
#include "cli/terminal_ui.h"
#include "stamp/estimate_blur.h"
#include "stamp/restore.h"
#include "stamp/restore_files.h"

namespace {

class CEstimateBlurStep : public CStep {
public:
    explicit CEstimateBlurStep(CLI::App& command) {
        command.add_option("--model", m_model,
                           "The blur to look for: " + AskableBlurModelNames(", ") +
                               " (default auto: the straight motion, defocus or Gaussian that "
                               "explains the spectrum best, or none; free estimates a camera "
                               "shake's kernel)");
        AddWholeOption(command, "--size", m_request.maxSize,
                       "The largest blur in pixels looked for: the longest motion, the widest "
                       "disc, the free kernel's side (default 31; the picture must be four "
                       "times as large on each side); 0: the free kernel tries growing sizes "
                       "and keeps the one it settles inside, the other models look as far as "
                       "the picture allows");
        command.add_option("-o,--output", m_output,
                           "Kernel file to write (.stp); nothing is written when no blur is "
                           "found");
    }
    bool Prepare() override {
        if (!BlurModelFromName(m_model, m_request.model) || m_request.model == BlurModel::None) {
            std::fprintf(stderr, "--model takes %s, not \"%s\".\n",
                         AskableBlurModelNames(", ").c_str(), m_model.c_str());
            return false;
        }
        if (m_output.empty()) return true;
        m_output = Absolute(m_output);
        return CheckOutput(m_output, OutputKind::Stamp);
    }
    bool Run(CStepContext& context) override {
        CTerminalUi& ui = *context.ui;
        const int before = ui.MessageCount();
        CPlanes planes;
        if (PlanesFromPicture(*context.picture, planes) != 1) return false;
        CBlurEstimate estimate;
        const int result = EstimateBlur(planes, m_request, estimate, [&ui](double fraction) {
            return ui.ReportProgress(fraction);
        });
        if (result == kRestoreCancelled) {
            std::fprintf(stderr, "Estimating the blur stopped.\n");
            return false;
        }
        if (result != 1) {
            if (ui.MessageCount() == before) std::fprintf(stderr, "Estimating the blur failed.\n");
            return false;
        }
        std::printf("%s (confidence %.2f)\n", estimate.description.c_str(), estimate.confidence);
        if (m_request.model != BlurModel::Free)
            std::printf(
                "Fits: motion %.2f (dip %.1f, %.1f in the annulus), defocus %.2f, "
                "gaussian sigma %.2f px (%.3f)\n",
                estimate.motionFit, estimate.motionDip, estimate.motionDepth, estimate.defocusFit,
                estimate.gaussianSigma, estimate.gaussianFit);
        if (estimate.kernel.IsEmpty()) {
            if (!m_output.empty())
                std::printf("No blur found: no kernel written (%s was not written).\n",
                            m_output.c_str());
            return true;
        }
        if (m_output.empty()) return true;
        if (WriteKernelFile(m_output, estimate.kernel) != 1) return false;
        std::printf("Estimated blur %s written to %s\n", DescribeKernel(estimate.kernel).c_str(),
                    m_output.c_str());
        return true;
    }

private:
    std::string m_model = "auto";
    std::string m_output;
    CEstimateRequest m_request;
};

}  // namespace

std::unique_ptr<CStep> DefineEstimateBlurStep(CLI::App& command) {
    return std::make_unique<CEstimateBlurStep>(command);
}
