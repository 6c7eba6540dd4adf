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
