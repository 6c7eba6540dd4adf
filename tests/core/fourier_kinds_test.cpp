// The table of Fourier kinds: names, members and controls of each kind, and what the
// dialogs and the runs read from it.
#include "fourier/fourier_kinds.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "fourier/fourier_dialogs.h"

TEST(FourierKinds, NamesAndNumbersFindTheirKindWithoutRegardToCase) {
    for (const CFourierKindRow& row : FourierKindRows()) {
        EXPECT_EQ(FourierKindByName(row.cliName), row.kind) << row.cliName;
        EXPECT_EQ(FourierKindByName(std::to_string(row.kind)), row.kind);
        std::string upper = row.cliName;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(FourierKindByName(upper), row.kind) << upper;
    }
    for (const char* text : {"", "13", "-1", "01", " 1", "1/r4", "fourier ", "One Frequency"})
        EXPECT_EQ(FourierKindByName(text), std::nullopt) << text;
    EXPECT_EQ(FourierKindNameList(),
              "0 fourier, 1 1/r, 2 1/r2, 3 1/r3, 4 1/e, 5 constant, 6 amplify, 7 one, 8 half, "
              "9 double, 10 shift, 11 third, 12 triple");
}

TEST(FourierKinds, EachKindKeepsItsOwnParameterAndTimeText) {
    FourierSettings s;
    s.Reset();
    std::set<const void*> parameters;
    std::set<const void*> texts;
    for (const CFourierKindRow& row : FourierKindRows()) {
        const int32_t kind = row.kind;
        if (double* member = FourierKindParameterMember(s, kind)) {
            EXPECT_TRUE(parameters.insert(member).second) << kind;
            *member = 10.0 + kind;
            EXPECT_EQ(FourierKindParameter(s, kind), 10.0 + kind);
        }
        if (std::string* text = FourierKindTimeText(s, kind)) {
            EXPECT_TRUE(texts.insert(text).second) << kind;
            *text = "t" + std::to_string(kind);
            EXPECT_EQ(FourierOpsTimeText(s, kind), *text);
        }
    }
    // Kinds 1, 2, 3, 4 and 6 are edited; Constant runs with 1; 0 and 7..12 have none.
    EXPECT_EQ(parameters.size(), 5u);
    EXPECT_EQ(FourierKindParameterMember(s, kKindConstant), nullptr);
    EXPECT_EQ(FourierKindParameter(s, kKindConstant), 1.0);
    for (const int32_t kind : {0, 7, 8, 9, 10, 11, 12, -1, 13}) {
        EXPECT_EQ(FourierKindParameterMember(s, kind), nullptr) << kind;
        EXPECT_EQ(FourierKindParameter(s, kind), 0.0) << kind;
        EXPECT_EQ(FourierKindTimeText(s, kind), nullptr) << kind;
    }
    // Six modifications keep a time each, and the Fourier row shows the transform's.
    EXPECT_EQ(texts.size(), 6u);
    s.m_strSource = "source";
    EXPECT_EQ(FourierOpsTimeText(s, kKindFourier), "source");
    EXPECT_EQ(FourierOpsTimeText(s, kKindOneFrequency), "");
    EXPECT_STREQ(FourierKindCaption(kKindThirdFrequency), "Third of Frequency");
    EXPECT_STREQ(FourierKindCaption(13), "");
}

TEST(FourierKinds, EveryControlOfADialogHasAnIdOfItsOwn) {
    std::vector<int> operations = {kIdPresent};
    std::vector<int> number = {kIdFreqX, kIdFreqY};
    for (const CFourierKindRow& row : FourierKindRows()) {
        EXPECT_NE(row.radioId, 0) << row.kind;
        if (row.dialog == FourierKindDialog::kOperations) {
            EXPECT_LE(row.kind, kLastFourierOpsKind);
            operations.push_back(row.radioId);
            operations.push_back(row.timeId);
            // An edit exactly where there is a parameter to edit.
            EXPECT_EQ(row.editId != 0, row.parameter != nullptr) << row.kind;
            if (row.editId != 0) operations.push_back(row.editId);
            EXPECT_EQ(FourierOpsEnabledEdit(row.kind), row.editId);
        } else {
            EXPECT_STREQ(NumberChoiceCaption(row.kind - kKindOneFrequency), row.caption);
            number.push_back(row.radioId);
            EXPECT_EQ(NumberEditsEnabled(row.kind - kKindOneFrequency), row.usesXY);
        }
    }
    EXPECT_EQ(operations.size(), 20u);
    EXPECT_EQ(std::set<int>(operations.begin(), operations.end()).size(), operations.size());
    EXPECT_EQ(number.size(), 8u);
    EXPECT_EQ(std::set<int>(number.begin(), number.end()).size(), number.size());
    // X and Y serve One Frequency and Shift Picture only.
    EXPECT_TRUE(NumberEditsEnabled(0));
    EXPECT_TRUE(NumberEditsEnabled(3));
    EXPECT_FALSE(NumberEditsEnabled(1));
    EXPECT_FALSE(NumberEditsEnabled(6));
}

TEST(FourierKinds, TheDialogsChoiceBringsTheKindAndEveryParameterAndNothingElse) {
    FourierSettings settings;
    settings.Reset();
    settings.m_nFreqX = 3;
    settings.m_strTimeR1 = "kept";
    settings.m_bPresent = true;
    FourierSettings shown = settings;
    shown.m_nKind = kKindE;
    shown.m_dParamR1 = 5;
    shown.m_dParamR2 = 6;
    shown.m_dParamR3 = 7;
    shown.m_dParamE = 8;
    shown.m_dParamAmplify = 9;
    shown.m_nFreqX = -4;
    shown.m_strTimeR1 = "changed";
    shown.m_bPresent = false;
    TakeFourierOperationsChoice(settings, shown);
    EXPECT_EQ(settings.m_nKind, kKindE);
    EXPECT_EQ(settings.m_dParamR1, 5);
    EXPECT_EQ(settings.m_dParamR2, 6);
    EXPECT_EQ(settings.m_dParamR3, 7);
    EXPECT_EQ(settings.m_dParamE, 8);
    EXPECT_EQ(settings.m_dParamAmplify, 9);
    EXPECT_EQ(settings.m_nFreqX, 3);
    EXPECT_EQ(settings.m_strTimeR1, "kept");
    EXPECT_TRUE(settings.m_bPresent);

    // Reset restores the parameters and empties the texts, keeping X and Y.
    settings.m_nFreqY = -2;
    settings.m_strSpare = "a1";
    settings.Reset();
    EXPECT_EQ(settings.m_dParamR1, 2.0);
    EXPECT_EQ(settings.m_dParamAmplify, 1.0);
    EXPECT_EQ(settings.m_nKind, kKindFourier);
    EXPECT_TRUE(settings.m_strTimeR1.empty());
    EXPECT_TRUE(settings.m_strSpare.empty());
    EXPECT_FALSE(settings.m_bPresent);
    EXPECT_EQ(settings.m_nFreqX, 3);
    EXPECT_EQ(settings.m_nFreqY, -2);
}
