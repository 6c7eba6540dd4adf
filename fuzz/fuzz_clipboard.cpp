// A packed bitmap as the clipboard carries it, on any bytes: the check that the bytes are
// a whole picture, the conversion to 24 bits and the preparation a pasted picture gets.
#include "document/zelvan_doc.h"
#include "fuzz/fuzz_support.h"
#include "image/picture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetting();
    DibHandle dib = DibFromPackedBytes(data, size);
    if (dib.IsNull()) return 0;
    if (!IsWholePicture(dib)) std::abort();
    const CSize declared = DescribePicture(dib.Data()).size;
    {
        DibHandle copy = CopyHandle(dib);
        if (ConvertTo24Bits(copy) == 1) CheckPicture(1, copy, declared);
    }
    CZelvanDoc doc;
    doc.m_hDIB = std::move(dib);
    doc.PreparePicture(true);
    if (!doc.m_hDIB.IsNull()) CheckPicture(1, doc.m_hDIB, doc.m_sizeDoc);
    return 0;
}
