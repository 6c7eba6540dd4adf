#pragma once

#include <cstdint>
#include <string>

#include "stamp/blur.h"

// What the three dialogs of blur and rubber stamps show and give back. The desktop only
// draws them; the ports of the command line and the tests use the same values.

// ---------------------------------------------------------------------------------------
// The blur dialog (CBlurDlg): kind, steps, attenuation and Within Size of a BlurSettings.

inline constexpr int kIdBlurDialog = 129;
inline constexpr const char* kBlurDialogTitle = "Dialog";
// The radio buttons of the kinds are in the table of blur paths (stamp/blur.h), whose
// CheckBlurValues holds the dialog's rules.
inline constexpr int kIdBlurSteps = 148;
inline constexpr int kIdBlurAttenuation = 149;
inline constexpr int kIdBlurWithinSize = 150;
inline constexpr int32_t kLastBlurKind = kBlurPathCount - 1;
inline constexpr const char* kBlurStepsLabel = "Blur Steps ";
inline constexpr const char* kBlurAttenuationLabel = "Blur Attenuation ";
inline constexpr const char* kBlurWithinSizeLabel = "Within Size";

// "Blur Horizontal", "Blur Vertical", "Blur Right Down", "Blur Random", "Blur 5"; empty for
// any other kind.
const char* BlurKindCaption(int32_t kind);

// ---------------------------------------------------------------------------------------
// "Dialog Zelvanto" (CZelvantoDlg): the example files of a deconvolution or a stamp.

inline constexpr int kIdZelvantoDialog = 128;
inline constexpr const char* kZelvantoDialogTitle = "Dialog Zelvanto";
inline constexpr const char* kZelvantoGroupTitle = "Example Files";
inline constexpr int kIdGoodFile = 101;
inline constexpr int kIdBlurredFile = 102;
inline constexpr int kIdInputFile = 103;
inline constexpr int kIdCompareFile = 104;
inline constexpr int kIdBrowseGood = 134;
inline constexpr int kIdBrowseBlurred = 135;
inline constexpr int kIdBrowseInput = 136;  // hidden
inline constexpr int kIdBrowseCompare = 137;
inline constexpr int kIdMakeStamp = 151;
inline constexpr int kIdUseStamp = 152;
inline constexpr int kIdShowStamp = 153;
inline constexpr const char* kGoodFileLabel = "Good File";
inline constexpr const char* kBlurredFileLabel = "Blurred File";
inline constexpr const char* kStampFileLabel = "or Stamp File";
inline constexpr const char* kInputFileLabel = "Input File";
inline constexpr const char* kCompareFileLabel = "Compare File\n(optional)";
inline constexpr const char* kBrowseCaption = "Browse ...";
// Results the dialog ends with besides OK and Cancel.
inline constexpr int kZelvantoMakeStamp = 103;
inline constexpr int kZelvantoUseStamp = 104;
inline constexpr int kZelvantoShowStamp = 105;
// The filter of the Browse buttons' file dialog.
inline constexpr const char* kZelvantoBrowseFilter =
    "Fourier files or Pictures|*.bmp;*.jpg;*.ft|Fourier files (*.ft)|*.ft|Jpeg files "
    "(*.jpg)|*.jpg|Bitmap files (*.bmp)|*.bmp|Stamp files (*.stp)|*.stp|All files(*.*)|*.*||";

// The four names of the dialog. Input (the document's own Fourier data file) is shown
// read-only.
struct CZelvantoData {
    std::string m_strGoodFile;
    std::string m_strBlurredFile;
    std::string m_strInputFile;
    std::string m_strCompareFile;

    friend bool operator==(const CZelvantoData&, const CZelvantoData&) = default;
};

// The driver code a result of the dialog runs: 'D' for OK, 'S' for Make Stamp, 'U' for Use
// Stamp, 'W' for Show Stamp; 0 for Cancel and anything else.
int32_t ZelvantoOperationCode(int result);

// ---------------------------------------------------------------------------------------
// "Dialog Stamp Cut" (CStampCutDlg): the threshold and the rectangle of a stamp being cut.

inline constexpr int kIdStampCutDialog = 131;
inline constexpr const char* kStampCutDialogTitle = "Dialog Stamp Cut";
inline constexpr int kIdFraction = 154;
inline constexpr int kIdPeakValue = 160;
inline constexpr int kIdCutTop = 155;
inline constexpr int kIdCutBottom = 156;
inline constexpr int kIdCutRight = 157;
inline constexpr int kIdCutLeft = 158;
inline constexpr int kIdPeakColumn = 159;
inline constexpr int kIdPeakRow = 104;
inline constexpr int kIdUseThis = 134;
inline constexpr const char* kFractionLabel = "Fraction";
inline constexpr const char* kPeakLabel = "Peak";
inline constexpr const char* kPeakPositionLabel = "Peak Position";
inline constexpr const char* kTryFractionCaption = "Try Fraction";
inline constexpr const char* kUseThisCaption = "Use This";
// The result of "Use This"; "Try Fraction" ends the dialog with OK.
inline constexpr int IDEndDialogUseThisCut = 61447;

// The dialog's values: Fraction and the peak position are edited, the peak value and the
// rectangle (columns left to right - 1, rows bottom to top - 1) only shown.
struct CStampCutData {
    double m_dFraction = 0.0;
    double m_dPeak = 0.0;
    int32_t m_nTop = 0;
    int32_t m_nBottom = 0;
    int32_t m_nLeft = 0;
    int32_t m_nRight = 0;
    int32_t m_nPeakX = 0;
    int32_t m_nPeakY = 0;

    friend bool operator==(const CStampCutData&, const CStampCutData&) = default;
};

// The one Stamp Cut dialog object of the program: made at its first use with every value
// 0, it keeps what the person left in it until the program ends.
CStampCutData& StampCutValues();
