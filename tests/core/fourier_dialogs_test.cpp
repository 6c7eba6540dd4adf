// The rules of the two Fourier dialogs and how the scripted and terminal ports apply them.
#include "fourier/fourier_dialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "cli/terminal_ui.h"
#include "fourier/size_fit.h"
#include "support/scripted_ui.h"

namespace {

std::string StreamText(std::FILE* file) {
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// A port that gives only what every port must; its dialogs keep their defaults.
class CBarePort : public CUserInterface {
public:
    void Message(const std::string&, MessageIcon) override {}
    bool AskYesNo(const std::string&, bool) override { return false; }
    std::optional<std::string> FileDialog(const CFileDialogRequest&) override {
        return std::nullopt;
    }
    void AddToRecentFiles(const std::string&) override {}
};

}  // namespace

TEST(FourierDialogs, FourierOperationsChecksTheRanges) {
    FourierSettings s;
    s.Reset();
    EXPECT_EQ(ValidateFourierOperations(s), "");
    s.m_dParamR1 = 0.0;
    s.m_dParamR2 = 1000.0;
    s.m_dParamE = 0.01;
    s.m_dParamAmplify = -10.0;
    EXPECT_EQ(ValidateFourierOperations(s), "");

    const std::string r = "Please enter a number between 0 and 1000.";
    const std::string e = "Please enter a number between 0.01 and 100000000.";
    // An exponent beyond 10 makes the spectrum's magnitudes overflow (1e308 gave a black
    // picture): the range keeps the picture finite.
    const std::string a = "Please enter a number between -10 and 10.";
    const struct {
        double FourierSettings::*member;
        double value;
        std::string message;
    } refused[] = {
        {&FourierSettings::m_dParamR1, -0.001, r},
        {&FourierSettings::m_dParamR2, 1000.5, r},
        {&FourierSettings::m_dParamR3, NAN, r},
        {&FourierSettings::m_dParamE, 0.0099, e},
        {&FourierSettings::m_dParamE, 1.5e8, e},
        {&FourierSettings::m_dParamAmplify, INFINITY, a},
        {&FourierSettings::m_dParamAmplify, NAN, a},
        {&FourierSettings::m_dParamAmplify, 1e308, a},
        {&FourierSettings::m_dParamAmplify, 10.5, a},
        {&FourierSettings::m_dParamAmplify, -10.01, a},
    };
    for (const auto& c : refused) {
        FourierSettings bad = s;
        bad.*c.member = c.value;
        EXPECT_EQ(ValidateFourierOperations(bad), c.message) << c.value;
    }
    // Every edit is checked whatever the kind, in the order of the exchange.
    FourierSettings two = s;
    two.m_nKind = 1;
    two.m_dParamE = 0.0;
    two.m_dParamR3 = 2000.0;
    EXPECT_EQ(ValidateFourierOperations(two), r);
    two.m_dParamR3 = 2.0;
    EXPECT_EQ(ValidateFourierOperations(two), e);
}

TEST(FourierDialogs, NumberDialogKeepsXAndYInsideTheSpectrum) {
    CNumberData d;
    d.m_nHalfWidth = 80;
    d.m_nHalfHeight = 60;
    const std::string message =
        "Freq X must be between or equal to -80 and 79\nFreq Y must be between or equal to -60 "
        "and 59";
    for (const auto& [x, y, ok] : {std::tuple{-80, -60, true}, std::tuple{79, 59, true},
                                   std::tuple{80, 0, false}, std::tuple{0, -61, false}}) {
        d.m_nX = x;
        d.m_nY = y;
        EXPECT_EQ(ValidateNumberDialog(d), ok ? "" : message) << x << "," << y;
    }
}

TEST(FourierDialogs, ScriptedPortShowsTheRefusalAndKeepsTheDialogOpen) {
    CScriptedUi ui;
    FourierSettings s;
    s.Reset();
    ui.ScriptFourierOperations(4, 0.001);  // refused
    ui.ScriptFourierOperations(4, 3.0);
    EXPECT_TRUE(ui.FourierOperations(s));
    EXPECT_EQ(s.m_nKind, 4);
    EXPECT_EQ(s.m_dParamE, 3.0);
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{"Please enter a number between 0.01 and 100000000."});

    // A refusal with nothing more scripted ends in Cancel and leaves the settings alone.
    ui.ScriptFourierOperations(1, 5000.0);
    EXPECT_FALSE(ui.FourierOperations(s));
    EXPECT_EQ(s.m_nKind, 4);
    EXPECT_EQ(s.m_dParamR1, 2.0);

    CNumberData d;
    d.m_nHalfWidth = 4;
    d.m_nHalfHeight = 2;
    ui.ScriptNumberDialog(2, 4, 0);
    ui.ScriptNumberDialog([](CNumberData&) { return false; });
    EXPECT_FALSE(ui.NumberDialog(d));
    EXPECT_EQ(d.m_nChoice, 0);
    EXPECT_EQ(ui.EventKinds(), (std::vector<CScriptedUi::Kind>{
                                   CScriptedUi::Kind::FourierOperations, CScriptedUi::Kind::Message,
                                   CScriptedUi::Kind::FourierOperations, CScriptedUi::Kind::Message,
                                   CScriptedUi::Kind::NumberDialog, CScriptedUi::Kind::Message}));
}

TEST(FourierDialogs, ScriptedDialogEventsRecordHowEachEnded) {
    CScriptedUi ui;
    FourierSettings s;
    s.Reset();
    ui.ScriptFourierOperations(4, 0.001);  // refused, then taken
    ui.ScriptFourierOperations(4, 3.0);
    EXPECT_TRUE(ui.FourierOperations(s));
    CNumberData d{0, 0, 0, 4, 2};
    ui.ScriptNumberDialog([](CNumberData&) { return false; });
    EXPECT_FALSE(ui.NumberDialog(d));
    EXPECT_TRUE(ui.NumberDialog(d));  // unscripted: OK as shown

    const std::vector<CScriptedUi::Event>& events = ui.Events();
    ASSERT_EQ(events.size(), 4u);
    // The dialog's own event says OK, not the refusal's message that came after it.
    EXPECT_EQ(events[0].kind, CScriptedUi::Kind::FourierOperations);
    EXPECT_TRUE(events[0].answer);
    EXPECT_EQ(events[0].result, kIdOk);
    EXPECT_EQ(events[1].kind, CScriptedUi::Kind::Message);
    EXPECT_FALSE(events[1].answer);
    EXPECT_EQ(events[2].text, kNumberDialogTitle);
    EXPECT_FALSE(events[2].answer);
    EXPECT_EQ(events[2].result, kIdCancel);
    EXPECT_TRUE(events[3].answer);
    EXPECT_EQ(events[3].result, kIdOk);
    EXPECT_EQ(ui.FourierOpsShown().size(), 1u);
    EXPECT_EQ(ui.NumberShown().size(), 2u);
    ui.Clear();
    EXPECT_TRUE(ui.Events().empty());
    EXPECT_TRUE(ui.NumberShown().empty());
}

TEST(FourierDialogs, APortWithoutTheDialogsCancelsThemAndKeepsTheValues) {
    CBarePort ui;
    FourierSettings s;
    s.Reset();
    s.m_nKind = 3;
    EXPECT_FALSE(ui.FourierOperations(s));
    EXPECT_EQ(s.m_nKind, 3);
    EXPECT_EQ(s.m_dParamR1, 2.0);

    CNumberData d{2, 4, 1, 8, 8};
    EXPECT_FALSE(ui.NumberDialog(d));
    EXPECT_EQ(d.m_nChoice, 2);
    EXPECT_EQ(d.m_nX, 4);
    EXPECT_EQ(d.m_nY, 1);

    // The size choice is cancelled, so a picture that needs one gets no size.
    const std::vector<CSize> offered{{648, 648}, {640, 640}};
    const SizeChoice choice = ui.ChooseSize(offered);
    EXPECT_FALSE(choice.accepted);
    EXPECT_EQ(choice.index, -1);
    CUiScope scope(ui);
    CSize chosen{-1, -1};
    EXPECT_EQ(FitSize(700, 700, chosen), 0);
    EXPECT_EQ(chosen, (CSize{-1, -1}));
}

TEST(FourierDialogs, TerminalPortEntersItsPresetsOrReportsWhyNot) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        CTerminalUi ui(out);
        FourierSettings s;
        s.Reset();
        EXPECT_TRUE(ui.FourierOperations(s));  // no preset: OK as shown
        EXPECT_EQ(s.m_nKind, 0);
        ui.SetFourierOperations(CFourierOpsPreset{2, 7.0});
        EXPECT_TRUE(ui.FourierOperations(s));
        EXPECT_EQ(s.m_nKind, 2);
        EXPECT_EQ(s.m_dParamR2, 7.0);
        ui.SetFourierOperations(CFourierOpsPreset{3, -1.0});
        EXPECT_FALSE(ui.FourierOperations(s));
        EXPECT_EQ(s.m_nKind, 2);

        CNumberData d;
        d.m_nHalfWidth = 2;
        d.m_nHalfHeight = 1;
        ui.SetNumberDialog(CNumberPreset{3, 2, std::nullopt});
        EXPECT_FALSE(ui.NumberDialog(d));
        ui.SetNumberDialog(CNumberPreset{3, -2, -1});
        EXPECT_TRUE(ui.NumberDialog(d));
        EXPECT_EQ(d.m_nChoice, 3);
        EXPECT_EQ(d.m_nX, -2);

        ui.SetFileDialogPath("a.bmp");
        EXPECT_EQ(ui.FileDialog({}), std::optional<std::string>("a.bmp"));
        EXPECT_EQ(ui.FileDialog({}), std::nullopt);
    }
    EXPECT_EQ(StreamText(out),
              "Please enter a number between 0 and 1000.\n"
              "Freq X must be between or equal to -2 and 1\n"
              "Freq Y must be between or equal to -1 and 0\n");
    std::fclose(out);
}
