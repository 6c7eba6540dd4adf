#include "stamp/kernel_sources.h"

#include "platform/user_interface.h"
#include "stamp/blur.h"
#include "stamp/restore_files.h"

namespace {

int LearntPair(const CKernelRequest& r, CKernel& kernel, const RestoreProgress& progress) {
    return LearnKernelFromFiles(r.goodPath, r.blurredPath, r.size, kernel, progress);
}

int StoredStamp(const CKernelRequest& r, CKernel& kernel, const RestoreProgress&) {
    if (r.stampPath.empty()) {
        ShowMessage("No stamp file is named.");
        return 0;
    }
    return ReadKernelFile(r.stampPath, kernel, r.pictureSize);
}

int Motion(const CKernelRequest& r, CKernel& kernel, const RestoreProgress&) {
    return MotionKernel(r.length, r.angle, kernel);
}

int Defocus(const CKernelRequest& r, CKernel& kernel, const RestoreProgress&) {
    return DefocusKernel(r.radius, kernel);
}

int Gaussian(const CKernelRequest& r, CKernel& kernel, const RestoreProgress&) {
    return GaussianKernel(r.sigma, kernel);
}

int BlurPath(const CKernelRequest& r, CKernel& kernel, const RestoreProgress&) {
    return BlurPathKernel(r.blurKind, r.blurSteps, r.blurAttenuation, kernel);
}

int Estimated(const CKernelRequest& r, CKernel& kernel, const RestoreProgress& progress) {
    if (r.picture == nullptr) {
        ShowMessage("There is no picture to estimate a blur from.");
        return 0;
    }
    CPlanes planes;
    if (PlanesFromPicture(*r.picture, planes) != 1) return 0;
    CEstimateRequest request;
    request.model = r.estimateModel;
    request.maxSize = r.estimateSize;
    CBlurEstimate estimate;
    const int result = EstimateBlur(planes, request, estimate, progress);
    if (r.estimated != nullptr) *r.estimated = estimate;
    if (result != 1) return result;
    if (estimate.kernel.IsEmpty()) {
        ShowMessage("No blur found (" + estimate.description + "): the picture is left as it is.");
        return 0;
    }
    kernel = std::move(estimate.kernel);
    if (r.estimated != nullptr) r.estimated->kernel = kernel;
    return 1;
}

std::string EstimateRules(const CKernelRequest& r) {
    if (r.estimateModel == BlurModel::None)
        return "name a blur model: " + AskableBlurModelNames(" or ") + ".";
    if (r.estimateSize != 0 &&
        (r.estimateSize < kFreeFormMinSize || r.estimateSize > kFreeFormMaxSize))
        return Format(
            "the largest blur must be 0 (as large as the picture allows) or from %i to "
            "%i pixels.",
            kFreeFormMinSize, kFreeFormMaxSize);
    return {};
}

std::string BlurPathRules(const CKernelRequest& r) {
    return CheckBlurValues(r.blurKind, r.blurSteps, r.blurAttenuation);
}

std::vector<CKernelSourceRow> MakeRows() {
    std::vector<CKernelSourceRow> rows;
    {
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::ExamplePair;
        r.name = "pair";
        r.caption = "Learnt from the example pair";
        r.options = {"--good", "--blurred"};
        r.helps = {"Example pair: the sharp picture", "Example pair: the same scene blurred"};
        r.paths = {&CKernelRequest::goodPath, &CKernelRequest::blurredPath};
        r.make = &LearntPair;
    }
    {
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::StampFile;
        r.name = "stamp";
        r.caption = "Stamp file";
        r.options = {"--kernel"};
        r.helps = {"A kernel file (.stp) holding the blur, as learn-kernel writes it"};
        r.paths = {&CKernelRequest::stampPath};
        r.make = &StoredStamp;
    }
    {
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::Motion;
        r.name = "motion";
        r.caption = "Motion";
        r.options = {"--motion"};
        r.helps = {
            "LENGTH,ANGLE: a straight motion of LENGTH pixels at ANGLE degrees "
            "(counter-clockwise from rightwards)"};
        r.parameters = {
            {"Length (pixels)", 1, 1.0, 500.0, [](const CKernelRequest& q) { return q.length; },
             [](CKernelRequest& q, double v) { q.length = v; }},
            {"Angle (degrees)", 1, -360.0, 360.0, [](const CKernelRequest& q) { return q.angle; },
             [](CKernelRequest& q, double v) { q.angle = v; }}};
        r.usage = "LENGTH,ANGLE, for example 12,30";
        r.make = &Motion;
    }
    {
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::Defocus;
        r.name = "defocus";
        r.caption = "Defocus";
        r.options = {"--defocus"};
        r.helps = {"R: a defocus disc of radius R pixels"};
        r.parameters = {{"Radius (pixels)", 2, 0.1, 100.0,
                         [](const CKernelRequest& q) { return q.radius; },
                         [](CKernelRequest& q, double v) { q.radius = v; }}};
        r.usage = "a radius in pixels";
        r.make = &Defocus;
    }
    {
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::Gaussian;
        r.name = "gaussian";
        r.caption = "Gaussian";
        r.options = {"--gaussian"};
        r.helps = {"S: a Gaussian blur of sigma S pixels"};
        r.parameters = {{"Sigma (pixels)", 2, 0.1, 100.0,
                         [](const CKernelRequest& q) { return q.sigma; },
                         [](CKernelRequest& q, double v) { q.sigma = v; }}};
        r.usage = "a sigma in pixels";
        r.make = &Gaussian;
    }
    {
        // One row for the five paths of the blur (stamp/blur.h): the dialog lists each.
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::BlurPath;
        r.name = "blur";
        r.caption = "Blur path";
        r.options = {"--blur"};
        r.helps = {"KIND,STEPS,ATTENUATION: the program's own blur (KIND " + BlurPathNameList() +
                   ")"};
        r.parameters = {
            {"Blur Steps ", 0, 1.0, static_cast<double>(kMaxBlurSteps),
             [](const CKernelRequest& q) { return static_cast<double>(q.blurSteps); },
             [](CKernelRequest& q, double v) { q.blurSteps = static_cast<int32_t>(v); }},
            {"Blur Attenuation ", 3, -10.0, 10.0,
             [](const CKernelRequest& q) { return q.blurAttenuation; },
             [](CKernelRequest& q, double v) { q.blurAttenuation = v; }}};
        r.takesPathName = true;
        r.usage =
            "KIND,STEPS,ATTENUATION (KIND " + BlurPathNameList() + "), for example random,10,0.6";
        r.check = &BlurPathRules;
        r.make = &BlurPath;
    }
    {
        // The model is a name (BlurModelName), given after the option; the largest blur is
        // the one number.
        CKernelSourceRow& r = rows.emplace_back();
        r.source = KernelSource::Estimate;
        r.name = "estimate";
        r.caption = "Estimate from this picture";
        r.options = {"--estimate"};
        r.helps = {
            "[MODEL]: the blur estimated from the picture itself, MODEL auto (default: a "
            "straight motion, defocus or Gaussian, or none), motion, defocus, gaussian or free "
            "(a camera shake); --size N is then the largest blur looked for (default 31; 0: "
            "as large as the picture allows). A picture in which no blur is found is not "
            "restored"};
        r.parameters = {
            {"Largest blur (pixels)", 0, static_cast<double>(kFreeFormMinSize),
             static_cast<double>(kFreeFormMaxSize),
             [](const CKernelRequest& q) { return static_cast<double>(q.estimateSize); },
             [](CKernelRequest& q, double v) { q.estimateSize = static_cast<int32_t>(v); }}};
        r.takesModelName = true;
        r.usage = "a model: " + AskableBlurModelNames(" or ");
        r.check = &EstimateRules;
        r.make = &Estimated;
    }
    return rows;
}

}  // namespace

std::span<const CKernelSourceRow> KernelSourceRows() {
    static const std::vector<CKernelSourceRow> rows = MakeRows();
    return rows;
}

const CKernelSourceRow& KernelSourceRowOf(KernelSource source) {
    for (const CKernelSourceRow& row : KernelSourceRows())
        if (row.source == source) return row;
    return KernelSourceRows().front();
}

std::string KernelSourceOptionList() {
    std::string list;
    const std::span<const CKernelSourceRow> rows = KernelSourceRows();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) list += i + 1 == rows.size() ? " or " : ", ";
        list += rows[i].options[0];
        for (size_t o = 1; o < rows[i].options.size(); ++o) list += " with " + rows[i].options[o];
    }
    return list;
}
