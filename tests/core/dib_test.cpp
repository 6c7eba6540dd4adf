#include "image/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "support/scripted_ui.h"

TEST(Dib, NewGreyPictureFillsPixelsButNotPaddingAndRefusesBadSizes) {
    EXPECT_EQ(RowBytes(24 * 5), 16);
    EXPECT_EQ(RowBytes(24 * 4), 12);
    DibHandle dib;
    ASSERT_EQ(NewGreyPicture(5, 2, dib), 1);
    ASSERT_EQ(dib.Size(), 40u + 2 * 16);
    for (size_t i = 0; i < 32; ++i) EXPECT_EQ(dib.Data()[40 + i], i % 16 < 15 ? 50 : 0) << i;
    for (const CSize size :
         {CSize{0, 2}, CSize{2, -1}, CSize{100000, 100000}, CSize{INT32_MAX, 1}}) {
        EXPECT_EQ(NewGreyPicture(size.cx, size.cy, dib), 0) << size.cx << " " << size.cy;
        EXPECT_TRUE(dib.IsNull());
    }
}

TEST(Dib, CheckSameSizeWantsTwo24BitPicturesOfOneSize) {
    CScriptedUi ui;
    CUiScope scope(ui);
    DibHandle a, b, c;
    NewGreyPicture(8, 4, a);
    NewGreyPicture(8, 4, b);
    NewGreyPicture(6, 5, c);
    EXPECT_EQ(CheckSameSize(a, b), 1);
    EXPECT_EQ(CheckSameSize(a, DibHandle()), 0);  // no picture: no message
    EXPECT_EQ(CheckSameSize(a, c), 0);
    StoreLE16(b.Data() + kBiBitCount, 8);
    StoreLE32(b.Data() + kBiClrUsed, 1);  // so that the block still holds it all
    EXPECT_EQ(CheckSameSize(a, b), 0);
    EXPECT_EQ(ui.Messages(),
              (std::vector<std::string>{"For this operation same picture size is needed.\n The dim "
                                        "of pict 1 8, 4\n The dim of pict 2 6 5",
                                        "Only 24 bits comparison possible."}));
}

TEST(Dib, CutPictureKeepsTheBottomRowsAndLeftColumns) {
    DibHandle dib;
    NewGreyPicture(10, 3, dib);  // rows of 32 bytes; byte i of row y is i + 16 y
    for (size_t y = 0; y < 3; ++y)
        for (size_t i = 0; i < 30; ++i)
            dib.Data()[40 + y * 32 + i] = static_cast<uint8_t>(i + 16 * y);
    const DibHandle before = CopyHandle(dib);
    for (const CSize cut : {CSize{6, 2}, CSize{12, 2}, CSize{8, 4}}) {
        EXPECT_EQ(CutPicture(dib, cut.cx, cut.cy), 0) << cut.cx << " " << cut.cy;
        EXPECT_EQ(std::memcmp(dib.Data(), before.Data(), dib.Size()), 0);
    }
    ASSERT_EQ(CutPicture(dib, 8, 2), 1);
    EXPECT_EQ(DescribePicture(dib.Data()).size, (CSize{8, 2}));
    EXPECT_EQ(LoadLE32(dib.Data() + kBiSizeImage), 48u);
    for (size_t y = 0; y < 2; ++y)
        for (size_t i = 0; i < 24; ++i) ASSERT_EQ(dib.Data()[40 + y * 24 + i], i + 16 * y);

    // A 24-bit picture kept with a core header is rebuilt with a 40-byte one.
    CMemoryBlock block = CMemoryBlock::Allocate(12 + 2 * 12);
    const uint8_t header[12] = {12, 0, 0, 0, 4, 0, 2, 0, 1, 0, 24, 0};
    std::memcpy(block.Data(), header, 12);
    for (size_t i = 0; i < 24; ++i) block.Data()[12 + i] = static_cast<uint8_t>(100 + i);
    DibHandle core(std::move(block));
    ASSERT_EQ(CutPicture(core, 4, 1), 1);
    ASSERT_EQ(core.Size(), 40u + 12);
    EXPECT_EQ(LoadLE32(core.Data()), 40u);
    for (size_t i = 0; i < 12; ++i) EXPECT_EQ(core.Data()[40 + i], 100 + i);
}
