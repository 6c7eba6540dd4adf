#include "stamp/restore_files.h"

#include "image/picture_file.h"
#include "platform/file_open.h"
#include "platform/user_interface.h"
#include "stamp/rubber_stamp.h"

int ReadKernelFile(const std::string& path, CKernel& kernel, std::optional<CSize> picture) {
    const CStampFileRead read = ReadStampFile(path, kernel, picture);
    switch (read.fault) {
        case StampFileFault::None:
            return 1;
        case StampFileFault::Open:
            ShowMessage(WithReason(path + " Read Stamp File error aa", read.reason),
                        MessageIcon::Exclamation);
            break;
        case StampFileFault::Size:
            ShowMessage(path +
                        ": the kernel file's size is out of range (1 to 10000 values a side).");
            break;
        case StampFileFault::TooLarge:
            ShowMessage(Format("The kernel (%i x %i) is larger than the picture (%i x %i).",
                               read.width, read.height, picture->cx, picture->cy));
            break;
        case StampFileFault::ReadError:
        case StampFileFault::Short:
            ShowMessage(path + ": the kernel file holds fewer values than its header declares.");
            break;
        case StampFileFault::Peak:
            ShowMessage(path + ": the kernel's peak lies outside its values.");
            break;
        case StampFileFault::Memory:
            ShowMessage("Could not allocate memory for the kernel");
            break;
        case StampFileFault::NotFinite:
            ShowMessage("The kernel holds values that are not finite numbers.");
            break;
    }
    return 0;
}

int WriteKernelFile(const std::string& path, const CKernel& kernel) {
    if (kernel.IsEmpty()) {
        ShowMessage("The kernel is empty.");
        return 0;
    }
    return WriteRubberStamp(path, kernel.Values(), kernel.width, kernel.height, kernel.peakX,
                            kernel.peakY);
}

int ReadPlanesFile(const std::string& path, CPlanes& planes) {
    DibHandle dib;
    CSize size;
    if (ReadPictureFile(path, dib, size) != 1) return 0;
    if (ConvertTo24Bits(dib) != 1) {
        ShowMessage(path + ": the picture could not be converted to 24 bits.");
        return 0;
    }
    return PlanesFromPicture(dib, planes);
}
