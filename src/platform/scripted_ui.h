#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "document/doc_settings.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "platform/geometry.h"
#include "platform/user_interface.h"
#include "stamp/stamp_dialogs.h"

// A port for tests: records everything the person would see and answers every question
// and dialog from a script. Unscripted questions take the default button; an unscripted
// size choice is OK without a selection; an unscripted Fourier Operations or Number
// dialog is OK with what it showed, and so is an unscripted blur dialog; an unscripted
// file dialog, "Dialog Zelvanto" or "Dialog Stamp Cut" is cancelled.
//
// A scripted dialog answer edits the dialog's data and returns true for OK, false for
// Cancel. An OK that the dialog's validation refuses shows the dialog's message (recorded
// as a message) and the dialog stays open for the next scripted answer; with none left it
// is cancelled.
class CScriptedUi : public CUserInterface {
public:
    enum class Kind {
        Message,
        Question,
        SizeChoice,
        FourierOperations,
        NumberDialog,
        FileDialog,
        RecentFile,
        BlurDialog,
        ZelvantoDialog,
        StampCutDialog
    };
    struct Event {
        Kind kind;
        std::string text;  // messages and questions: the text; file events: the path
        MessageIcon icon = MessageIcon::None;
        bool answer = false;  // questions: the answer given; dialogs: OK
        int result = 0;       // Zelvanto and Stamp Cut dialogs: the result they ended with
    };
    using FourierOpsScript = std::function<bool(FourierSettings&)>;
    using NumberScript = std::function<bool(CNumberData&)>;
    using BlurScript = std::function<bool(BlurSettings&)>;
    // Edits the names and gives the result the dialog ends with.
    using ZelvantoScript = std::function<int(CZelvantoData&)>;
    using StampCutScript = std::function<int(CStampCutData&)>;

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    bool FourierOperations(FourierSettings& settings) override;
    bool NumberDialog(CNumberData& data) override;
    bool BlurDialog(BlurSettings& settings) override;
    int ZelvantoDialog(CZelvantoData& data) override;
    int StampCutDialog(CStampCutData& data) override;
    std::optional<std::string> FileDialog(const CFileDialogRequest& request) override;
    void AddToRecentFiles(const std::string& path) override;
    void BeginWaitCursor() override {
        ++m_waitDepth;
        ++m_waitCount;
    }
    void EndWaitCursor() override { --m_waitDepth; }
    bool ReportProgress(double fraction) override;

    void ScriptAnswer(bool yes) { m_answers.push_back(yes); }
    void ScriptSizeChoice(SizeChoice choice) { m_sizeChoices.push_back(choice); }
    void ScriptFourierOperations(FourierOpsScript answer) { m_fourierOps.push_back(answer); }
    // OK with the kind and, when given, that kind's parameter.
    void ScriptFourierOperations(int32_t kind, std::optional<double> param = std::nullopt);
    void ScriptNumberDialog(NumberScript answer) { m_numbers.push_back(answer); }
    // OK with the choice and X, Y.
    void ScriptNumberDialog(int32_t choice, int32_t x, int32_t y);
    void ScriptBlurDialog(BlurScript answer) { m_blurs.push_back(answer); }
    // OK with these values; nothing cancels it.
    void ScriptBlurDialog(std::optional<BlurSettings> settings);
    void ScriptZelvantoDialog(ZelvantoScript answer) { m_zelvantos.push_back(answer); }
    // Ends with the result; the names given are entered as a "Browse ..." enters them (saved
    // whatever button ends the dialog), the others stay as shown.
    void ScriptZelvantoDialog(int result, std::optional<std::string> good = std::nullopt,
                              std::optional<std::string> blurred = std::nullopt,
                              std::optional<std::string> compare = std::nullopt);
    void ScriptStampCutDialog(StampCutScript answer) { m_stampCuts.push_back(answer); }
    // "Try Fraction" with this Fraction.
    void ScriptTryFraction(double fraction);
    // "Use This", with the peak position moved to peak when one is given.
    void ScriptUseThis(std::optional<CPoint> peak = std::nullopt);
    // The path chosen in the next file dialog; nothing cancels it.
    void ScriptFileDialog(std::optional<std::string> path) { m_files.push_back(path); }
    // Cancels long work at the n-th progress report (counting from 1); 0 never cancels.
    void CancelAtProgress(int n) { m_cancelAt = n; }

    const std::vector<Event>& Events() const { return m_events; }
    // The texts of the message boxes only, in order.
    std::vector<std::string> Messages() const;
    // The texts of the questions only, in order.
    std::vector<std::string> Questions() const;
    // The kinds of all events, in order.
    std::vector<Kind> EventKinds() const;
    const std::vector<std::vector<CSize>>& OfferedSizes() const { return m_offeredSizes; }
    // What each Fourier Operations and Number dialog showed when it opened.
    const std::vector<FourierSettings>& FourierOpsShown() const { return m_fourierOpsShown; }
    const std::vector<CNumberData>& NumberShown() const { return m_numberShown; }
    // What each blur, Zelvanto and Stamp Cut dialog showed when it opened.
    const std::vector<BlurSettings>& BlurShown() const { return m_blurShown; }
    const std::vector<CZelvantoData>& ZelvantoShown() const { return m_zelvantoShown; }
    const std::vector<CStampCutData>& StampCutShown() const { return m_stampCutShown; }
    const std::vector<CFileDialogRequest>& FileRequests() const { return m_fileRequests; }
    int WaitDepth() const { return m_waitDepth; }
    int WaitCount() const { return m_waitCount; }
    int ProgressReports() const { return m_progressReports; }
    void Clear();

private:
    std::vector<Event> m_events;
    std::deque<bool> m_answers;
    std::deque<SizeChoice> m_sizeChoices;
    std::deque<FourierOpsScript> m_fourierOps;
    std::deque<NumberScript> m_numbers;
    std::deque<std::optional<std::string>> m_files;
    std::deque<BlurScript> m_blurs;
    std::deque<ZelvantoScript> m_zelvantos;
    std::deque<StampCutScript> m_stampCuts;
    std::vector<BlurSettings> m_blurShown;
    std::vector<CZelvantoData> m_zelvantoShown;
    std::vector<CStampCutData> m_stampCutShown;
    std::vector<std::vector<CSize>> m_offeredSizes;
    std::vector<FourierSettings> m_fourierOpsShown;
    std::vector<CNumberData> m_numberShown;
    std::vector<CFileDialogRequest> m_fileRequests;
    int m_waitDepth = 0;
    int m_waitCount = 0;
    int m_progressReports = 0;
    int m_cancelAt = 0;
};
