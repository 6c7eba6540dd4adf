// zelvanto-cli open with a stamp file: the stamp's picture saved as Save As does.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "image/bmp_file.h"
#include "image/dib.h"
#include "stamp/rubber_stamp.h"
#include "support/cli_run.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

TEST(CliStampOpen, AStampOpensAsAPictureOfItsSizeAndAnUnreadableOneFails) {
    const fs::path dir = TestTempDir("cli_stamp_open");
    std::vector<double> values(8 * 4, 0.0);
    values[1 * 8 + 2] = 1.0;
    {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        ASSERT_EQ(WriteRubberStamp((dir / "kernel.stp").string(), values.data(), 8, 4, 2, 1), 1);
    }

    CliResult r = RunCli(dir, "open kernel.stp -o shown.bmp");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Opened: " + (dir / "kernel.stp").string() + ", 8 x 4"), std::string::npos)
        << r.out;
    DibHandle shown;
    CSize size;
    {
        CScriptedUi quiet;
        CUiScope scope(quiet);
        ASSERT_EQ(ReadBmpFile((dir / "shown.bmp").string(), shown, size), 1);
    }
    EXPECT_EQ(size, (CSize{8, 4}));

    // The reader's own message, not the one for files of another kind.
    r = RunCli(dir, "open missing.stp -o x.bmp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, (dir / "missing.stp").string() + " Read Stamp File error aa\n");
    EXPECT_FALSE(fs::exists(dir / "x.bmp"));
    fs::remove_all(dir);
}
