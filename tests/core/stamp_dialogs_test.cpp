// The blur, Zelvanto and Stamp Cut dialogs as the ports answer them: the built-in default,
// the scripted port of the tests and the terminal port of the command line.
#include "stamp/stamp_dialogs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/terminal_ui.h"
#include "document/doc_settings.h"
#include "support/scripted_ui.h"

namespace {

std::string StreamText(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// A port that answers only what every port must: the three dialogs keep their defaults.
class CMinimalUi : public CUserInterface {
public:
    void Message(const std::string&, MessageIcon) override {}
    bool AskYesNo(const std::string&, bool) override { return false; }
    SizeChoice ChooseSize(const std::vector<CSize>&) override { return {}; }
    bool FourierOperations(FourierSettings&) override { return false; }
    bool NumberDialog(CNumberData&) override { return false; }
    std::optional<std::string> FileDialog(const CFileDialogRequest&) override {
        return std::nullopt;
    }
    void AddToRecentFiles(const std::string&) override {}
};

CStampCutData ShownCut() {
    CStampCutData d;
    d.m_dFraction = 1e-6;
    d.m_dPeak = 0.5;
    d.m_nLeft = 0;
    d.m_nRight = 9;
    d.m_nBottom = 0;
    d.m_nTop = 7;
    d.m_nPeakX = 4;
    d.m_nPeakY = 3;
    return d;
}

}  // namespace

TEST(StampDialogs, ResultsSelectTheDriverCodes) {
    EXPECT_EQ(ZelvantoOperationCode(kIdOk), 'D');
    EXPECT_EQ(ZelvantoOperationCode(kZelvantoMakeStamp), 'S');
    EXPECT_EQ(ZelvantoOperationCode(kZelvantoUseStamp), 'U');
    EXPECT_EQ(ZelvantoOperationCode(kZelvantoShowStamp), 'W');
    EXPECT_EQ(ZelvantoOperationCode(kIdCancel), 0);
    EXPECT_EQ(ZelvantoOperationCode(IDEndDialogUseThisCut), 0);
    EXPECT_EQ(ZelvantoOperationCode(102), 0);

    EXPECT_STREQ(BlurKindCaption(0), "Blur Horizontal");
    EXPECT_STREQ(BlurKindCaption(3), "Blur Random");
    EXPECT_STREQ(BlurKindCaption(4), "Blur 5");
    EXPECT_STREQ(BlurKindCaption(5), "");
    EXPECT_STREQ(BlurKindCaption(-1), "");
}

TEST(StampDialogs, APortWithoutTheDialogsCancelsThemAndKeepsTheValues) {
    CMinimalUi ui;
    BlurSettings blur;
    blur.m_nBlurSteps = 7;
    EXPECT_FALSE(ui.BlurDialog(blur));
    EXPECT_EQ(blur.m_nBlurSteps, 7);

    CZelvantoData names{"good", "blurred", "input.ft", "compare"};
    EXPECT_EQ(ui.ZelvantoDialog(names), kIdCancel);
    EXPECT_EQ(names, (CZelvantoData{"good", "blurred", "input.ft", "compare"}));

    CStampCutData cut = ShownCut();
    EXPECT_EQ(ui.StampCutDialog(cut), kIdCancel);
    EXPECT_EQ(cut, ShownCut());
}

TEST(StampDialogs, ScriptedBlurDialogIsOkAsShownUnlessScripted) {
    CScriptedUi ui;
    BlurSettings s;
    s.m_nBlurKind = 2;
    EXPECT_TRUE(ui.BlurDialog(s));  // unscripted: OK with what it showed
    EXPECT_EQ(s.m_nBlurKind, 2);

    BlurSettings wanted{3, 20, 0.25, true};
    ui.ScriptBlurDialog(wanted);
    ui.ScriptBlurDialog(std::nullopt);
    ui.ScriptBlurDialog([](BlurSettings& b) {
        b.m_nBlurSteps = 99;  // edited, then cancelled: nothing of it is kept
        return false;
    });
    EXPECT_TRUE(ui.BlurDialog(s));
    EXPECT_EQ(s, wanted);
    EXPECT_FALSE(ui.BlurDialog(s));
    EXPECT_FALSE(ui.BlurDialog(s));
    EXPECT_EQ(s, wanted);

    ASSERT_EQ(ui.BlurShown().size(), 4u);
    EXPECT_EQ(ui.BlurShown()[0].m_nBlurKind, 2);
    EXPECT_EQ(ui.BlurShown()[3], wanted);
    ASSERT_EQ(ui.Events().size(), 4u);
    EXPECT_EQ(ui.Events()[1].kind, CScriptedUi::Kind::BlurDialog);
    EXPECT_EQ(ui.Events()[1].text, "Dialog");
    EXPECT_TRUE(ui.Events()[1].answer);
    EXPECT_FALSE(ui.Events()[2].answer);
}

TEST(StampDialogs, ScriptedZelvantoDialogGivesNamesOnlyWhenNotCancelled) {
    CScriptedUi ui;
    CZelvantoData d{"g", "b", "in.ft", ""};
    EXPECT_EQ(ui.ZelvantoDialog(d), kIdCancel);  // unscripted
    EXPECT_EQ(d, (CZelvantoData{"g", "b", "in.ft", ""}));

    ui.ScriptZelvantoDialog([](CZelvantoData& z) {
        z.m_strGoodFile = "typed";
        return kIdCancel;
    });
    ui.ScriptZelvantoDialog(kZelvantoUseStamp, std::nullopt, "/tmp/stamp.stp");
    ui.ScriptZelvantoDialog(kIdOk, "sharp.bmp", "soft.bmp", "cmp.bmp");
    EXPECT_EQ(ui.ZelvantoDialog(d), kIdCancel);
    EXPECT_EQ(d.m_strGoodFile, "g");
    EXPECT_EQ(ui.ZelvantoDialog(d), kZelvantoUseStamp);
    EXPECT_EQ(d, (CZelvantoData{"g", "/tmp/stamp.stp", "in.ft", ""}));
    EXPECT_EQ(ui.ZelvantoDialog(d), kIdOk);
    EXPECT_EQ(d, (CZelvantoData{"sharp.bmp", "soft.bmp", "in.ft", "cmp.bmp"}));

    ASSERT_EQ(ui.ZelvantoShown().size(), 4u);
    EXPECT_EQ(ui.ZelvantoShown()[3].m_strBlurredFile, "/tmp/stamp.stp");
    ASSERT_EQ(ui.Events().size(), 4u);
    EXPECT_EQ(ui.Events()[2].kind, CScriptedUi::Kind::ZelvantoDialog);
    EXPECT_EQ(ui.Events()[2].text, "Dialog Zelvanto");
    EXPECT_EQ(ui.Events()[2].result, kZelvantoUseStamp);
    EXPECT_FALSE(ui.Events()[2].answer);
    EXPECT_TRUE(ui.Events()[3].answer);
}

TEST(StampDialogs, ScriptedStampCutTriesFractionsThenUsesTheCut) {
    CScriptedUi ui;
    CStampCutData d = ShownCut();
    EXPECT_EQ(ui.StampCutDialog(d), kIdCancel);  // unscripted: never loops
    EXPECT_EQ(d, ShownCut());

    ui.ScriptTryFraction(0.25);
    ui.ScriptUseThis(CPoint{-1, 2});
    ui.ScriptStampCutDialog([](CStampCutData& c) {
        c.m_dFraction = 0.9;
        return kIdCancel;
    });
    EXPECT_EQ(ui.StampCutDialog(d), kIdOk);
    EXPECT_EQ(d.m_dFraction, 0.25);
    EXPECT_EQ(d.m_nPeakX, 4);
    d.m_nLeft = 3;  // what the caller's cut made of it, shown at the next pass
    EXPECT_EQ(ui.StampCutDialog(d), IDEndDialogUseThisCut);
    EXPECT_EQ(d.m_nPeakX, -1);
    EXPECT_EQ(d.m_nPeakY, 2);
    EXPECT_EQ(d.m_dFraction, 0.25);
    const CStampCutData kept = d;
    EXPECT_EQ(ui.StampCutDialog(d), kIdCancel);
    EXPECT_EQ(d, kept);

    ASSERT_EQ(ui.StampCutShown().size(), 4u);
    EXPECT_EQ(ui.StampCutShown()[2].m_nLeft, 3);
    EXPECT_EQ(ui.StampCutShown()[2].m_dFraction, 0.25);
    EXPECT_EQ(ui.Events()[2].result, IDEndDialogUseThisCut);
    EXPECT_EQ(ui.Events()[2].text, "Dialog Stamp Cut");
}

TEST(StampDialogs, TerminalPortEntersItsPresetsAndTellsTheCut) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        CTerminalUi ui(out);
        BlurSettings b;
        EXPECT_TRUE(ui.BlurDialog(b));
        EXPECT_EQ(b, BlurSettings{});
        ui.SetBlurDialog(BlurSettings{1, 5, 1.0, true});
        EXPECT_TRUE(ui.BlurDialog(b));
        EXPECT_EQ(b, (BlurSettings{1, 5, 1.0, true}));

        CZelvantoData z{"g", "b", "in.ft", ""};
        EXPECT_EQ(ui.ZelvantoDialog(z), kIdCancel);  // nobody to choose a button
        ui.SetZelvantoDialog(CZelvantoPreset{kZelvantoShowStamp, std::nullopt, "s.stp"});
        EXPECT_EQ(ui.ZelvantoDialog(z), kZelvantoShowStamp);
        EXPECT_EQ(z, (CZelvantoData{"g", "s.stp", "in.ft", ""}));
        ui.SetZelvantoDialog(CZelvantoPreset{kIdCancel, "x", "y", "z"});
        EXPECT_EQ(ui.ZelvantoDialog(z), kIdCancel);
        EXPECT_EQ(z.m_strGoodFile, "g");

        CStampCutData d = ShownCut();
        EXPECT_EQ(ui.StampCutDialog(d), IDEndDialogUseThisCut);  // no preset: use as shown
        EXPECT_EQ(d, ShownCut());

        ui.SetStampCut(CStampCutPreset{{0.5, 0.125}, CPoint{0, 1}});
        EXPECT_EQ(ui.StampCutDialog(d), kIdOk);
        EXPECT_EQ(d.m_dFraction, 0.5);
        EXPECT_EQ(ui.StampCutDialog(d), kIdOk);
        EXPECT_EQ(d.m_dFraction, 0.125);
        EXPECT_EQ(ui.StampCutDialog(d), IDEndDialogUseThisCut);
        EXPECT_EQ(d.m_nPeakX, 0);
        EXPECT_EQ(d.m_nPeakY, 1);
        // The next stamp cut tries the same fractions again.
        EXPECT_EQ(ui.StampCutDialog(d), kIdOk);
        EXPECT_EQ(d.m_dFraction, 0.5);
    }
    const std::string text = StreamText(out);
    std::fclose(out);
    EXPECT_NE(text.find("Dialog Stamp Cut: left 0, right 9, bottom 0, top 7; Peak 0.5 at 4, 3; "
                        "Use This, peak 4, 3\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("; Try Fraction 0.125\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Use This, peak 0, 1\n"), std::string::npos) << text;
}
