// The document's open-and-prepare road on any file: the first byte chooses the kind
// (".bmp", ".jpg", ".png", ".ft" or ".stp"), the rest is the file. A terminal port that writes
// nowhere answers every question with its default button.
#include "document/zelvan_doc.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    CFuzzSetting& setting = FuzzSetting();
    static const char* const kinds[] = {".bmp", ".jpg", ".png", ".ft", ".stp"};
    const std::string path = setting.Input(data + 1, size - 1, kinds[data[0] % 5]);
    SetApplicationCommandLine("");
    CZelvanDoc doc;
    if (doc.OnOpenDocument(path) && !doc.m_hDIB.IsNull())
        CheckPicture(1, doc.m_hDIB, doc.m_sizeDoc);
    return 0;
}
