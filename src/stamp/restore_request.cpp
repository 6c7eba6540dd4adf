#include "stamp/restore_request.h"

#include "platform/user_interface.h"
#include "stamp/kernel_sources.h"
#include "stamp/restore_files.h"

int LearnKernelFromFiles(const std::string& goodPath, const std::string& blurredPath, int32_t size,
                         CKernel& kernel, const RestoreProgress& progress) {
    if (goodPath.empty() || blurredPath.empty()) {
        ShowMessage("Learning a kernel needs a Good and a Blurred picture.");
        return 0;
    }
    CPlanes good, blurred;
    if (!ReadPlanesFile(goodPath, good) || !ReadPlanesFile(blurredPath, blurred)) return 0;
    return LearnKernel(good, blurred, size, kernel, progress);
}

int MakeKernel(const CKernelRequest& request, CKernel& kernel, const RestoreProgress& progress) {
    return KernelSourceRowOf(request.source).make(request, kernel, progress);
}

int RestoreByRequest(const CRestoreRequest& request, DibHandle& picture,
                     const RestoreProgress& progress, CRestoreOutcome& outcome) {
    outcome = CRestoreOutcome{};
    if (!IsWholePicture(picture)) {
        ShowMessage("There is no picture to restore.");
        return 0;
    }
    CKernelRequest kernelRequest = request.kernel;
    kernelRequest.pictureSize = DescribePicture(picture.Data()).size;
    kernelRequest.picture = &picture;
    kernelRequest.estimated = &outcome.estimate;
    const bool madeAlready = kernelRequest.source == KernelSource::ExamplePair ||
                             kernelRequest.source == KernelSource::Estimate;
    if (madeAlready && !request.learnt.IsEmpty()) {
        outcome.kernel = request.learnt;
        outcome.kernelResult = 1;
    } else {
        outcome.kernelResult = MakeKernel(kernelRequest, outcome.kernel, progress);
        if (outcome.kernelResult != 1) return outcome.kernelResult;
    }
    outcome.restoreResult =
        RestorePicture(picture, outcome.kernel, request.settings, progress, &outcome.report);
    return outcome.restoreResult;
}
