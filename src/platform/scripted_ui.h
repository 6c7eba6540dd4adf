#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "platform/user_interface.h"

// A port for tests: records everything the person would see and answers every question
// and dialog from a script. Unscripted questions take the default button; an unscripted
// size choice is OK without a selection; an unscripted Fourier Operations or Number
// dialog is OK with what it showed; an unscripted file dialog is cancelled.
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
        RecentFile
    };
    struct Event {
        Kind kind;
        std::string text;  // messages and questions: the text; file events: the path
        MessageIcon icon = MessageIcon::None;
        bool answer = false;  // questions: the answer given; dialogs: OK
    };
    using FourierOpsScript = std::function<bool(FourierSettings&)>;
    using NumberScript = std::function<bool(CNumberData&)>;

    void Message(const std::string& text, MessageIcon icon) override;
    bool AskYesNo(const std::string& text, bool defaultNo) override;
    SizeChoice ChooseSize(const std::vector<CSize>& sizes) override;
    bool FourierOperations(FourierSettings& settings) override;
    bool NumberDialog(CNumberData& data) override;
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
    std::vector<std::vector<CSize>> m_offeredSizes;
    std::vector<FourierSettings> m_fourierOpsShown;
    std::vector<CNumberData> m_numberShown;
    std::vector<CFileDialogRequest> m_fileRequests;
    int m_waitDepth = 0;
    int m_waitCount = 0;
    int m_progressReports = 0;
    int m_cancelAt = 0;
};
