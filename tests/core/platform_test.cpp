#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/doc_settings.h"
#include "platform/clock.h"
#include "platform/memory_block.h"
#include "platform/safe_file.h"
#include "platform/stream_ui.h"
#include "support/scope_guard.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

fs::path TempDir(const char* name) {
    return TestTempDir("platform_" + std::string(name));
}

}  // namespace

TEST(MemoryBlock, IsZeroFilledAndFailsWithoutThrowing) {
    CMemoryBlock block = CMemoryBlock::Allocate(4096);
    ASSERT_FALSE(block.IsNull());
    ASSERT_EQ(block.Size(), 4096u);
    for (size_t i = 0; i < block.Size(); ++i) ASSERT_EQ(block.Data()[i], 0) << i;

    CMemoryBlock huge = CMemoryBlock::Allocate(SIZE_MAX / 2);
    EXPECT_TRUE(huge.IsNull());
    EXPECT_EQ(huge.Size(), 0u);
    EXPECT_TRUE(CMemoryBlock::Allocate(0).IsNull());
}

TEST(SafeFileWriter, CommitReplacesAndAbortKeepsTheOldFile) {
    const CScopeGuard unnamedAgain([] { CSafeFileWriter::UseUnnamedTemporaries(true); });
    for (const bool unnamed : {true, false}) {
        CSafeFileWriter::UseUnnamedTemporaries(unnamed);
        const fs::path dir = TempDir(unnamed ? "safe" : "safe_named");
        const fs::path target = dir / "picture.bmp";
        std::ofstream(target) << "old";

        {
            CSafeFileWriter writer;
            ASSERT_EQ(writer.Open(target.string()), 0);
            writer.Write("new content", 11);
            // Destroyed without Commit: the old file stays, no temporary is left behind.
        }
        EXPECT_EQ(ReadText(target), "old");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

        CSafeFileWriter writer;
        ASSERT_EQ(writer.Open(target.string()), 0);
        ASSERT_TRUE(writer.Write("new", 3));
        ASSERT_TRUE(writer.Commit());
        EXPECT_EQ(ReadText(target), "new");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

        // A new file, and a second writer of it while the first is open: the last to commit
        // is what stays, and no temporary is left.
        const fs::path fresh = dir / "fresh.bmp";
        CSafeFileWriter first;
        CSafeFileWriter second;
        ASSERT_EQ(first.Open(fresh.string()), 0);
        ASSERT_EQ(second.Open(fresh.string()), 0);
        ASSERT_TRUE(first.Write("1", 1));
        ASSERT_TRUE(second.Write("2", 1));
        ASSERT_TRUE(first.Commit());
        ASSERT_TRUE(second.Commit());
        EXPECT_EQ(ReadText(fresh), "2");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    }
}

TEST(SafeFileWriter, OpenInMissingFolderReportsTheError) {
    CSafeFileWriter writer;
    EXPECT_NE(writer.Open("/nonexistent-folder-zelvanto/x.bmp"), 0);
    EXPECT_FALSE(writer.Commit());
}

TEST(ScriptedUi, AnswersFromTheScriptThenWithTheDefaultButton) {
    CScriptedUi ui;
    CUiScope scope(ui);
    ui.ScriptAnswer(false);
    EXPECT_FALSE(Ui().AskYesNo("first", false));
    EXPECT_TRUE(Ui().AskYesNo("second", false));
    EXPECT_FALSE(Ui().AskYesNo("third", true));
    ShowMessage("hello", MessageIcon::Exclamation);
    ASSERT_EQ(ui.Events().size(), 4u);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"hello"});
    EXPECT_EQ(ui.Events()[3].icon, MessageIcon::Exclamation);
    {
        CWaitCursor wait;
        EXPECT_EQ(ui.WaitDepth(), 1);
    }
    EXPECT_EQ(ui.WaitDepth(), 0);
}

TEST(StreamUi, TellsEveryAnswerOnTheStreamAndCancelsTheDialogs) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const std::vector<CSize> sizes{{648, 648}, {640, 640}, {600, 600}};
    {
        CStreamUi ui(out);
        ui.Message("hello", MessageIcon::Stop);
        EXPECT_TRUE(ui.AskYesNo("Go on?", false));
        EXPECT_FALSE(ui.AskYesNo("Replace?", true));
        ui.SetAnswer(true);
        EXPECT_TRUE(ui.AskYesNo("Replace?", true));
        EXPECT_EQ(ui.MessageCount(), 1);

        SizeChoice choice = ui.ChooseSize(sizes);  // no preset: OK, the best size
        EXPECT_TRUE(choice.accepted);
        EXPECT_EQ(choice.index, -1);
        ui.SetPreferredSize(CSize{640, 640});
        EXPECT_EQ(ui.ChooseSize(sizes).index, 1);
        EXPECT_FALSE(ui.PreferredSizeRefused());
        ui.SetPreferredSize(CSize{500, 500});
        EXPECT_EQ(ui.ChooseSize(sizes).index, -1);
        EXPECT_TRUE(ui.PreferredSizeRefused());

        ui.SetFileDialogPath("a.bmp");
        EXPECT_EQ(ui.FileDialog({}), std::optional<std::string>("a.bmp"));
        EXPECT_EQ(ui.FileDialog({}), std::nullopt);

        ui.SetShowProgress(true);
        EXPECT_TRUE(ui.ReportProgress(0.5));
        EXPECT_TRUE(ui.ReportProgress(0.505));  // the same percent is not written again
        EXPECT_TRUE(ui.ReportProgress(1.0));

        // It knows no dialog: each keeps the port's default and is cancelled.
        BlurSettings blur;
        blur.m_nBlurSteps = 7;
        EXPECT_FALSE(ui.BlurDialog(blur));
        EXPECT_EQ(blur.m_nBlurSteps, 7);
        CZelvantoData names{"good", "blurred", "input.ft", "compare"};
        EXPECT_EQ(ui.ZelvantoDialog(names), kIdCancel);
        EXPECT_EQ(names, (CZelvantoData{"good", "blurred", "input.ft", "compare"}));
    }
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
    std::fclose(out);
    EXPECT_EQ(text,
              "hello\n"
              "Go on? [Yes]\n"
              "Replace? [No]\n"
              "Replace? [Yes]\n"
              "Sizes to choose from: 3, largest area first; taking 648 x 648\n"
              "Sizes to choose from: 3, largest area first; taking 640 x 640\n"
              "\r 50 %\r100 %\n");
}

TEST(Format, FillsPrintfFormats) {
    EXPECT_EQ(Format("X, %i, Y= %i", 648, 540), "X, 648, Y= 540");
    EXPECT_EQ(Format("%s", std::string(300, 'a').c_str()).size(), 300u);
}

TEST(Clock, FormatsSpansAsHoursMinutesSeconds) {
    EXPECT_EQ(FormatTimeSpan(0), "00 : 00 : 00");
    EXPECT_EQ(FormatTimeSpan(3723), "01 : 02 : 03");
    EXPECT_EQ(FormatTimeSpan(59), "00 : 00 : 59");
    EXPECT_EQ(FormatTimeSpan(-5), "00 : 00 : 00");
}
