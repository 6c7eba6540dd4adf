// The Fourier queue through the scripted port: the dialog's rules, the queue's order and
// file names, the format it writes, failed entries, and the queues of several documents.
#include "document/queue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "document/paths.h"
#include "document/zelvan_doc.h"
#include "image/bmp_file.h"
#include "image/jpeg_file.h"
#include "support/files.h"
#include "support/pictures.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class Queue : public testing::Test {
protected:
    void SetUp() override {
        m_dir = TestTempDir(std::string("queue_") +
                            testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    void TearDown() override {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }
    std::string Path(const std::string& name) const { return (m_dir / name).string(); }

    // A 16 x 12 picture (N = 48) with some structure in every channel.
    std::string WritePicture(const std::string& name, int seed = 0) {
        DibHandle dib;
        EXPECT_EQ(NewGreyPicture(16, 12, dib), 1);
        uint8_t* pixels = PicturePixels(dib.Data(), 0);
        for (int32_t y = 0; y < 12; ++y)
            for (int32_t i = 0; i < 48; ++i)
                pixels[y * 48 + i] =
                    static_cast<uint8_t>((i * i * 5 + y * 29 + (i % 3) * y * y + seed) % 251);
        const std::string path = Path(name);
        if (FileKind(name) == kFileJpg)
            EXPECT_EQ(WriteJpegFile(path, dib, 90), 1);
        else
            EXPECT_EQ(WriteBmpFile(path, dib, 0), 1);
        return path;
    }

    std::unique_ptr<CZelvanDoc> Open(const std::string& name, int seed = 0) {
        auto doc = std::make_unique<CZelvanDoc>();
        EXPECT_TRUE(doc->OnOpenDocument(WritePicture(name, seed)));
        m_ui.Clear();
        return doc;
    }

    // A dialog on the document, opened as the command opens it.
    CFourierQueueDlgModel Dialog(CZelvanDoc& doc) {
        CFourierQueueDlgModel dialog([&doc] {
            return CActiveDocument{true, true, true, &doc, &doc};
        });
        dialog.m_nFormat = SameSuffixIgnoringCase(doc.m_szExtension, ".bmp") ? 1 : 0;
        dialog.OnInitDialog();
        return dialog;
    }

    // Types a suffix and presses New, answering the Fourier Operations dialog with OK.
    void AddEntry(CFourierQueueDlgModel& dialog, const std::string& suffix, int32_t kind,
                  std::optional<double> param = std::nullopt) {
        m_ui.ScriptFourierOperations(kind, param);
        dialog.TypeSuffix(suffix);
        dialog.OnNew();
    }

    std::vector<uint8_t> FileBytesOf(const std::string& path) {
        const std::string bytes = ReadFileBytes(path);
        return {bytes.begin(), bytes.end()};
    }

    CScriptedUi m_ui;
    CUiScope m_scope{m_ui};
    fs::path m_dir;
};

}  // namespace

TEST(QueueRules, SuffixesAreFiveCharactersUniqueWithoutCaseAndTenAtMost) {
    EXPECT_EQ(LimitSuffix("abcdef"), "abcde");
    EXPECT_EQ(LimitSuffix("ab"), "ab");
    // Characters, not bytes: five umlauts fit, the sixth does not.
    EXPECT_EQ(LimitSuffix("\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4"),
              "\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4\xC3\xA4");
    EXPECT_EQ(SuffixCharacters("\xC3\xA4x"), 2);

    const std::vector<std::string> listed = {"a1", "Moon"};
    EXPECT_EQ(CheckNewSuffix(listed, "b2"), QueueNewCheck::Accept);
    EXPECT_EQ(CheckNewSuffix(listed, "A1"), QueueNewCheck::NotUnique);
    EXPECT_EQ(CheckNewSuffix(listed, "mOON"), QueueNewCheck::NotUnique);
    EXPECT_EQ(CheckNewSuffix(listed, ""), QueueNewCheck::Empty);
    EXPECT_EQ(CheckNewSuffix(listed, "abcdef"), QueueNewCheck::TooLong);
    // A result file never lands in another folder.
    EXPECT_EQ(CheckNewSuffix(listed, "../x"), QueueNewCheck::Separator);
    EXPECT_FALSE(QueueNewMessage(QueueNewCheck::Separator).empty());
    EXPECT_EQ(QueueNewMessage(QueueNewCheck::NotUnique), "Sorry, string not unique.");
    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i) ten.push_back(std::to_string(i));
    EXPECT_EQ(CheckNewSuffix(ten, "x"), QueueNewCheck::Full);
    EXPECT_EQ(QueueNewMessage(QueueNewCheck::Full), "Sorry, queue is full.");
    ten.pop_back();
    EXPECT_EQ(CheckNewSuffix(ten, "x"), QueueNewCheck::Accept);
}

TEST_F(Queue, TheDialogAddsEntriesRefusesDuplicatesAndFollowsItsEnablingRules) {
    auto doc = Open("moon.bmp");
    CFourierQueueDlgModel dialog = Dialog(*doc);
    EXPECT_TRUE(dialog.m_listItems.empty());
    EXPECT_EQ(dialog.m_nRadio, 1);  // a ".bmp" document starts with Bmp
    EXPECT_FALSE(dialog.m_bNewEnabled);
    EXPECT_FALSE(dialog.m_bDeleteEnabled);

    // Six characters cannot be entered; typing makes New the default button.
    dialog.TypeSuffix("abcdef");
    EXPECT_EQ(dialog.m_editText, "abcde");
    EXPECT_TRUE(dialog.m_bNewEnabled);
    EXPECT_EQ(dialog.m_nDefaultButton, kIdQueueNew);

    m_ui.ScriptFourierOperations(kKindR3, 7.5);
    dialog.OnNew();
    ASSERT_EQ(dialog.m_listItems, (std::vector<std::string>{"abcde"}));
    EXPECT_EQ(dialog.m_editText, "");
    EXPECT_FALSE(dialog.m_bNewEnabled);
    EXPECT_EQ(dialog.m_nDefaultButton, kIdQueueOk);
    EXPECT_EQ(doc->m_queue[0].m_strSpare, "abcde");
    EXPECT_EQ(doc->m_queue[0].m_nKind, kKindR3);
    EXPECT_EQ(doc->m_queue[0].m_dParamR3, 7.5);
    EXPECT_EQ(doc->m_nQueueFormat, 1);

    // A suffix differing only in case is refused before the operation is asked for.
    m_ui.Clear();
    dialog.TypeSuffix("ABCDE");
    dialog.OnNew();
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"Sorry, string not unique."}));
    EXPECT_TRUE(m_ui.FourierOpsShown().empty());
    EXPECT_EQ(dialog.m_listItems.size(), 1u);
    EXPECT_EQ(doc->m_queue[1].m_strSpare, "");

    // Cancel in the Fourier Operations dialog adds nothing and keeps the suffix typed.
    m_ui.ScriptFourierOperations([](FourierSettings&) { return false; });
    dialog.TypeSuffix("b");
    dialog.OnNew();
    EXPECT_EQ(dialog.m_listItems.size(), 1u);
    EXPECT_EQ(dialog.m_editText, "b");
    EXPECT_EQ(doc->m_queue[1].m_strSpare, "");

    // Selecting enables Delete and Modify; Modify edits the entry in its slot.
    dialog.OnSelChange(0);
    EXPECT_TRUE(dialog.m_bDeleteEnabled);
    EXPECT_TRUE(dialog.m_bModifyEnabled);
    m_ui.ScriptFourierOperations(kKindE, 0.5);
    dialog.OnModify();
    EXPECT_EQ(doc->m_queue[0].m_nKind, kKindE);
    EXPECT_EQ(doc->m_queue[0].m_dParamE, 0.5);
    EXPECT_EQ(doc->m_queue[0].m_strSpare, "abcde");

    // Delete empties the slot but keeps its operation, which the next New starts from.
    dialog.OnDelete();
    EXPECT_TRUE(dialog.m_listItems.empty());
    EXPECT_FALSE(dialog.m_bDeleteEnabled);
    EXPECT_EQ(doc->m_queue[0].m_strSpare, "");
    m_ui.Clear();
    AddEntry(dialog, "c", kKindR1);
    ASSERT_EQ(m_ui.FourierOpsShown().size(), 1u);
    EXPECT_EQ(m_ui.FourierOpsShown()[0].m_nKind, kKindE);
    EXPECT_EQ(m_ui.FourierOpsShown()[0].m_dParamE, 0.5);
    EXPECT_EQ(doc->m_queue[0].m_strSpare, "c");

    // Ten entries fill the queue: New is disabled and refuses.
    for (int i = 1; i < 10; ++i) AddEntry(dialog, "e" + std::to_string(i), kKindR1);
    EXPECT_EQ(dialog.m_listItems.size(), 10u);
    m_ui.Clear();
    dialog.TypeSuffix("x");
    EXPECT_FALSE(dialog.m_bNewEnabled);
    dialog.OnNew();
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"Sorry, queue is full."}));

    // Help shows its text.
    m_ui.Clear();
    dialog.OnHelp();
    ASSERT_EQ(m_ui.Messages().size(), 1u);
    EXPECT_EQ(m_ui.Messages()[0].substr(0, 58),
              "With this dialog box you can make a queue of operations.\nT");
    EXPECT_NE(m_ui.Messages()[0].find("the standard '.bmp' extention."), std::string::npos);
}

TEST_F(Queue, ADialogThatFindsNoDocumentSaysWhichLinkIsMissing) {
    const std::pair<CActiveDocument, const char*> cases[] = {
        {CActiveDocument{}, "Sorry Null, No Main Window "},
        {CActiveDocument{true, false, false, nullptr, nullptr}, "Sorry Null, No Child Window "},
        {CActiveDocument{true, true, false, nullptr, nullptr}, "Sorry Null, No View Window "},
        {CActiveDocument{true, true, true, nullptr, nullptr}, "Sorry Null, No Doc"},
    };
    for (const auto& [found, message] : cases) {
        m_ui.Clear();
        CFourierQueueDlgModel dialog([found = found] { return found; });
        dialog.OnInitDialog();
        dialog.TypeSuffix("a");
        dialog.OnNew();  // the action fails: nothing listed
        EXPECT_TRUE(dialog.m_listItems.empty());
        EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{message, message})) << message;
    }
}

TEST_F(Queue, ThreeOrMoreEntriesAskBeforeRunningAndNoKeepsTheDialogOpen) {
    auto doc = Open("p.bmp");
    CFourierQueueDlgModel dialog = Dialog(*doc);
    AddEntry(dialog, "a", kKindR1);
    AddEntry(dialog, "b", kKindR2);
    m_ui.Clear();
    EXPECT_TRUE(dialog.OnExecute());
    EXPECT_TRUE(m_ui.Questions().empty());

    AddEntry(dialog, "c", kKindR3);
    m_ui.Clear();
    m_ui.ScriptAnswer(false);
    EXPECT_FALSE(dialog.OnExecute());
    EXPECT_EQ(m_ui.Questions(),
              (std::vector<std::string>{"You do realize this is a lenghty task. Continue ?"}));
    m_ui.ScriptAnswer(true);
    EXPECT_TRUE(dialog.OnExecute());
}

TEST_F(Queue, EntriesRunInTheOrderOfTheirSuffixesAndStayInThatOrder) {
    auto doc = Open("moon.bmp");
    {
        CFourierQueueDlgModel dialog = Dialog(*doc);
        AddEntry(dialog, "z", kKindR1);
        AddEntry(dialog, "a", kKindE, 3.0);
        AddEntry(dialog, "m", kKindConstant);
        EXPECT_EQ(dialog.m_listItems, (std::vector<std::string>{"z", "a", "m"}));
    }
    CQueueOutcome outcome;
    EXPECT_EQ(ExecuteQueue(*doc, kQueueFormatBmp, &outcome), 1);
    EXPECT_EQ(outcome.written,
              (std::vector<std::string>{Path("moona.bmp"), Path("moonm.bmp"), Path("moonz.bmp")}));
    EXPECT_TRUE(outcome.failed.empty());
    EXPECT_EQ(doc->m_queue[0].m_strSpare, "a");
    EXPECT_EQ(doc->m_queue[0].m_nKind, kKindE);
    EXPECT_EQ(doc->m_queue[2].m_strSpare, "z");
    EXPECT_EQ(doc->m_queue[3].m_strSpare, "");
    CFourierQueueDlgModel again = Dialog(*doc);
    EXPECT_EQ(again.m_listItems, (std::vector<std::string>{"a", "m", "z"}));

    // Each entry starts from the untouched spectrum: its file is what that operation alone
    // makes of the picture.
    auto fresh = Open("moon2.bmp");
    fresh->m_settings.m_nKind = kKindR1;
    fresh->RunOperation(2);
    DibHandle written;
    CSize size;
    ASSERT_EQ(ReadBmpFile(Path("moonz.bmp"), written, size), 1);
    EXPECT_EQ(PictureBytes(written), PictureBytes(fresh->m_hDIB));
    // The three results differ from one another.
    EXPECT_NE(FileBytesOf(Path("moona.bmp")), FileBytesOf(Path("moonz.bmp")));
    EXPECT_NE(FileBytesOf(Path("moonm.bmp")), FileBytesOf(Path("moonz.bmp")));
}

TEST_F(Queue, ResultsAreNamedFromTheBasePathTheSuffixAndTheFormat) {
    auto doc = Open("moon.bmp");
    {
        CFourierQueueDlgModel dialog = Dialog(*doc);
        dialog.SelectFormat(kQueueFormatJpg);
        AddEntry(dialog, "b2", kKindR2);
        AddEntry(dialog, "a1", kKindR1);
    }
    EXPECT_EQ(doc->m_nQueueFormat, kQueueFormatJpg);
    EXPECT_EQ(QueueResultPath(*doc, "a1"), Path("moona1.bmp"));
    CQueueOutcome outcome;
    EXPECT_EQ(ExecuteQueue(*doc, doc->m_nQueueFormat, &outcome), 1);
    EXPECT_EQ(outcome.written, (std::vector<std::string>{Path("moona1.jpg"), Path("moonb2.jpg")}));
    for (const std::string& path : outcome.written) {
        DibHandle dib;
        CSize size;
        EXPECT_EQ(ReadJpegFile(path, dib, size), 1) << path;
        EXPECT_EQ(size, (CSize{16, 12}));
    }
    // The extension stays: the document now saves as ".jpg".
    EXPECT_EQ(doc->m_szExtension, ".jpg");
}

TEST_F(Queue, AfterABmpRunAPlainSaveStillWritesTheOpenedFile) {
    auto doc = Open("sun.jpg");
    EXPECT_EQ(doc->m_szExtension, ".jpg");
    {
        CFourierQueueDlgModel dialog = Dialog(*doc);
        EXPECT_EQ(dialog.m_nRadio, kQueueFormatJpg);
        dialog.SelectFormat(kQueueFormatBmp);
        AddEntry(dialog, "x", kKindR1);
    }
    EXPECT_EQ(ExecuteQueue(*doc, doc->m_nQueueFormat), 1);
    EXPECT_TRUE(fs::exists(Path("sunx.bmp")));
    // The queue's format names its results only: Save goes to the document's own file.
    const std::string before = ReadFileBytes(Path("sun.jpg"));
    EXPECT_EQ(doc->OnFileSave(), 1);
    EXPECT_FALSE(fs::exists(Path("sun.bmp")));
    DibHandle saved;
    CSize size;
    EXPECT_EQ(ReadJpegFile(Path("sun.jpg"), saved, size), 1);
    EXPECT_EQ(size, doc->m_sizeDoc);
    EXPECT_NE(ReadFileBytes(Path("sun.jpg")), before);
}

TEST_F(Queue, TheFormatReachesTheDocumentOnlyThroughNewDeleteOrModify) {
    auto doc = Open("moon.bmp");
    const auto execute = [](CFourierQueueDlgModel& d) {
        return d.OnExecute() ? kQueueExecuteResult : kIdQueueOk;
    };
    // New with Bmp chosen stores Bmp.
    CFourierQueueDlgModel first([&] {
        return CActiveDocument{true, true, true, doc.get(), doc.get()};
    });
    OnFourierQueue(*doc, first, [&](CFourierQueueDlgModel& d) {
        d.OnInitDialog();
        EXPECT_EQ(d.m_nRadio, kQueueFormatBmp);
        AddEntry(d, "a", kKindR1);
        return kIdQueueOk;
    });
    EXPECT_EQ(doc->m_nQueueFormat, kQueueFormatBmp);

    // Jpg chosen and executed at once: the format stored before is used.
    CFourierQueueDlgModel second([&] {
        return CActiveDocument{true, true, true, doc.get(), doc.get()};
    });
    OnFourierQueue(*doc, second, [&](CFourierQueueDlgModel& d) {
        d.OnInitDialog();
        d.SelectFormat(kQueueFormatJpg);
        return execute(d);
    });
    EXPECT_TRUE(fs::exists(Path("moona.bmp")));
    EXPECT_FALSE(fs::exists(Path("moona.jpg")));
    EXPECT_EQ(doc->m_nQueueFormat, kQueueFormatBmp);

    // Jpg chosen, then a Modify completes: now the queue writes ".jpg".
    CFourierQueueDlgModel third([&] {
        return CActiveDocument{true, true, true, doc.get(), doc.get()};
    });
    OnFourierQueue(*doc, third, [&](CFourierQueueDlgModel& d) {
        d.OnInitDialog();
        d.SelectFormat(kQueueFormatJpg);
        d.OnSelChange(0);
        m_ui.ScriptFourierOperations(kKindR2);
        d.OnModify();
        return execute(d);
    });
    EXPECT_EQ(doc->m_nQueueFormat, kQueueFormatJpg);
    EXPECT_TRUE(fs::exists(Path("moona.jpg")));

    // Cancelled dialogs run nothing.
    fs::remove(Path("moona.jpg"));
    CFourierQueueDlgModel fourth([&] {
        return CActiveDocument{true, true, true, doc.get(), doc.get()};
    });
    OnFourierQueue(*doc, fourth, [](CFourierQueueDlgModel&) { return 2; });
    EXPECT_FALSE(fs::exists(Path("moona.jpg")));
}

TEST_F(Queue, AFailedEntryDoesNotStopTheQueueAndIsNamedAtTheEnd) {
    auto doc = Open("moon.bmp");
    {
        CFourierQueueDlgModel dialog = Dialog(*doc);
        AddEntry(dialog, "c3", kKindR3);
        AddEntry(dialog, "b2", kKindR2);
        AddEntry(dialog, "a1", kKindR1);
    }
    // b2's file cannot be written: a folder has its name.
    fs::create_directories(Path("moonb2.bmp"));
    m_ui.Clear();
    CQueueOutcome outcome;
    EXPECT_EQ(ExecuteQueue(*doc, kQueueFormatBmp, &outcome), 0);
    EXPECT_EQ(outcome.written, (std::vector<std::string>{Path("moona1.bmp"), Path("moonc3.bmp")}));
    EXPECT_EQ(outcome.failed, (std::vector<std::string>{"b2"}));
    ASSERT_FALSE(m_ui.Messages().empty());
    const std::string last = m_ui.Messages().back();
    EXPECT_NE(last.find("failed"), std::string::npos);
    EXPECT_NE(last.find(": b2"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(Path("moonb2.bmp")));

    // A run that cannot be done writes nothing under its name, and what was there stays.
    fs::remove(Path("moonb2.bmp"));
    const std::string before = ReadFileBytes(Path("moona1.bmp"));
    doc->m_nBitCount = 8;  // the driver refuses a picture that is not true colour
    m_ui.Clear();
    EXPECT_EQ(ExecuteQueue(*doc, kQueueFormatBmp, &outcome), 0);
    EXPECT_EQ(ReadFileBytes(Path("moona1.bmp")), before);
    EXPECT_FALSE(fs::exists(Path("moonb2.bmp")));
    EXPECT_NE(m_ui.Messages().back().find("a1, b2, c3"), std::string::npos);
}

namespace {

// Document windows in a row, the active one moving on to the next.
class CFakeWindows : public CDocumentWindows {
public:
    std::vector<CZelvanDoc*> windows;
    size_t active = 0;
    int steps = 0;
    CActiveDocument Active() override {
        if (windows.empty()) return CActiveDocument{true, false, false, nullptr, nullptr};
        return CActiveDocument{true, true, true, windows[active], &windows[active]};
    }
    void ActivateNext() override {
        active = (active + 1) % windows.size();
        ++steps;
    }
};

}  // namespace

TEST_F(Queue, ExecuteAllQueuesRunsEveryDocumentOnceAndStopsAtTheFirstAgain) {
    auto moon = Open("moon.bmp");
    auto sun = Open("sun.bmp", 40);
    {
        CFourierQueueDlgModel dialog = Dialog(*moon);
        AddEntry(dialog, "q", kKindR1);
    }
    {
        CFourierQueueDlgModel dialog = Dialog(*sun);
        AddEntry(dialog, "q", kKindR2);
        AddEntry(dialog, "r", kKindR3);
    }
    sun->m_nQueueFormat = kQueueFormatJpg;
    CFakeWindows windows;
    windows.windows = {sun.get(), moon.get()};
    int viewsOfSun = 0;
    int viewsOfMoon = 0;
    sun->AddViewListener([&](CZelvanDoc&) { ++viewsOfSun; });
    moon->AddViewListener([&](CZelvanDoc&) {
        ++viewsOfMoon;
        EXPECT_TRUE(fs::exists(Path("sunr.jpg")));  // the active document ran first
    });
    ExecuteAllQueues(windows);
    EXPECT_EQ(windows.steps, 2);
    EXPECT_EQ(windows.active, 0u);
    EXPECT_TRUE(fs::exists(Path("sunq.jpg")));
    EXPECT_TRUE(fs::exists(Path("moonq.bmp")));
    EXPECT_EQ(viewsOfSun, 3);
    EXPECT_EQ(viewsOfMoon, 2);

    // A document in two windows runs once, and the one after them still runs.
    fs::remove(Path("moonq.bmp"));
    fs::remove(Path("sunq.jpg"));
    windows.windows = {sun.get(), sun.get(), moon.get()};
    windows.active = 0;
    windows.steps = 0;
    viewsOfSun = 0;
    ExecuteAllQueues(windows);
    EXPECT_EQ(windows.steps, 3);
    EXPECT_EQ(viewsOfSun, 3);
    EXPECT_TRUE(fs::exists(Path("moonq.bmp")));

    // No document window: the message, and nothing runs.
    m_ui.Clear();
    windows.windows.clear();
    ExecuteAllQueues(windows);
    EXPECT_EQ(m_ui.Messages(), (std::vector<std::string>{"Sorry Null, No Child Window "}));
}
