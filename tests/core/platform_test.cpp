#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/clock.h"
#include "platform/memory_block.h"
#include "platform/safe_file.h"
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
    const fs::path dir = TempDir("safe");
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
