#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "document/doc_settings.h"
#include "fourier/fourier_dialogs.h"
#include "fourier/fourier_settings.h"
#include "platform/geometry.h"
#include "platform/user_interface.h"
#include "stamp/restore_request.h"
#include "stamp/stamp_dialogs.h"

// A port for tests: records everything the person would see and answers every question
// and dialog from a script. Unscripted questions take the default button; an unscripted
// size choice is OK without a selection; an unscripted Fourier Operations or Number
// dialog is OK with what it showed, and so is an unscripted blur dialog; an unscripted
// file dialog, "Dialog Zelvanto", "Dialog Stamp Cut" or the Restore dialog is cancelled.
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
        StampCutDialog,
        RestoreDialog
    };
    struct Event {
        Kind kind;
        std::string text;  // messages and questions: the text; file events: the path
        MessageIcon icon = MessageIcon::None;
        bool answer = false;  // questions: the answer given; dialogs: OK
        int result = 0;       // dialogs: the result they ended with (kIdOk, kIdCancel ...)
    };

    // One modal dialog of data type T that ends with R (bool for OK, or a result code):
    // a queue of scripted answers, each editing a copy of the data and giving the result,
    // and the data each opening showed. Unscripted, the dialog ends with its default
    // result; a dialog with a validation keeps refused answers from being taken.
    template <typename T, typename R>
    class CScriptedDialog {
    public:
        using Answer = std::function<R(T&)>;
        using Validation = std::string (*)(const T&);

        CScriptedDialog(Kind kind, const char* title, R unscripted, Validation validation = nullptr,
                        MessageIcon refusalIcon = MessageIcon::None)
            : m_kind(kind),
              m_title(title),
              m_unscripted(unscripted),
              m_validation(validation),
              m_refusalIcon(refusalIcon) {}

        void Script(Answer answer) { m_answers.push_back(std::move(answer)); }
        const std::vector<T>& Shown() const { return m_shown; }
        void ClearShown() { m_shown.clear(); }

    private:
        friend class CScriptedUi;
        Kind m_kind;
        const char* m_title;
        R m_unscripted;
        Validation m_validation;
        MessageIcon m_refusalIcon;
        std::deque<Answer> m_answers;
        std::vector<T> m_shown;
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
    bool FourierOperations(FourierSettings& settings) override {
        return Open(m_fourierOps, settings);
    }
    bool NumberDialog(CNumberData& data) override { return Open(m_numbers, data); }
    bool BlurDialog(BlurSettings& settings) override { return Open(m_blurs, settings); }
    bool RestoreDialog(CRestoreRequest& request, const DibHandle&) override {
        return Open(m_restores, request);
    }
    int ZelvantoDialog(CZelvantoData& data) override { return Open(m_zelvantos, data); }
    int StampCutDialog(CStampCutData& data) override { return Open(m_stampCuts, data); }
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
    void ScriptFourierOperations(FourierOpsScript answer) {
        m_fourierOps.Script(std::move(answer));
    }
    // OK with the kind and, when given, that kind's parameter.
    void ScriptFourierOperations(int32_t kind, std::optional<double> param = std::nullopt);
    void ScriptNumberDialog(NumberScript answer) { m_numbers.Script(std::move(answer)); }
    // OK with the choice and X, Y.
    void ScriptNumberDialog(int32_t choice, int32_t x, int32_t y);
    void ScriptBlurDialog(BlurScript answer) { m_blurs.Script(std::move(answer)); }
    using RestoreScript = std::function<bool(CRestoreRequest&)>;
    void ScriptRestoreDialog(RestoreScript answer) { m_restores.Script(std::move(answer)); }
    // OK with these values; nothing cancels it.
    void ScriptBlurDialog(std::optional<BlurSettings> settings);
    void ScriptZelvantoDialog(ZelvantoScript answer) { m_zelvantos.Script(std::move(answer)); }
    // Ends with the result; the names given are entered as a "Browse ..." enters them (saved
    // whatever button ends the dialog), the others stay as shown.
    void ScriptZelvantoDialog(int result, std::optional<std::string> good = std::nullopt,
                              std::optional<std::string> blurred = std::nullopt,
                              std::optional<std::string> compare = std::nullopt);
    void ScriptStampCutDialog(StampCutScript answer) { m_stampCuts.Script(std::move(answer)); }
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
    const std::vector<FourierSettings>& FourierOpsShown() const { return m_fourierOps.Shown(); }
    const std::vector<CNumberData>& NumberShown() const { return m_numbers.Shown(); }
    // What each blur, Zelvanto and Stamp Cut dialog showed when it opened.
    const std::vector<BlurSettings>& BlurShown() const { return m_blurs.Shown(); }
    const std::vector<CRestoreRequest>& RestoreShown() const { return m_restores.Shown(); }
    const std::vector<CZelvantoData>& ZelvantoShown() const { return m_zelvantos.Shown(); }
    const std::vector<CStampCutData>& StampCutShown() const { return m_stampCuts.Shown(); }
    const std::vector<CFileDialogRequest>& FileRequests() const { return m_fileRequests; }
    int WaitDepth() const { return m_waitDepth; }
    int WaitCount() const { return m_waitCount; }
    int ProgressReports() const { return m_progressReports; }
    // Forgets what was shown and reported; the scripted answers stay.
    void Clear();

private:
    static bool IsOk(bool ok) { return ok; }
    static bool IsOk(int result) { return result == kIdOk; }
    static int ResultCode(bool ok) { return ok ? kIdOk : kIdCancel; }
    static int ResultCode(int result) { return result; }
    template <typename R>
    static R Cancelled() {
        if constexpr (std::is_same_v<R, bool>)
            return false;
        else
            return kIdCancel;
    }

    // Shows the dialog: records what it shows, then takes scripted answers until one ends
    // it. Unscripted it ends with its default result, after a refusal with Cancel. The data
    // takes the edits of the answer that ended it, unless that was Cancel.
    template <typename T, typename R>
    R Open(CScriptedDialog<T, R>& dialog, T& data) {
        dialog.m_shown.push_back(data);
        const size_t event = m_events.size();
        m_events.push_back({dialog.m_kind, dialog.m_title, MessageIcon::None, false});
        for (bool first = true;; first = false) {
            T edited = data;
            R result = first ? dialog.m_unscripted : Cancelled<R>();
            if (!dialog.m_answers.empty()) {
                result = dialog.m_answers.front()(edited);
                dialog.m_answers.pop_front();
            }
            if (result != Cancelled<R>() && dialog.m_validation) {
                const std::string refusal = dialog.m_validation(edited);
                if (!refusal.empty()) {
                    Message(refusal, dialog.m_refusalIcon);
                    continue;
                }
            }
            if (result != Cancelled<R>()) data = edited;
            m_events[event].answer = IsOk(result);
            m_events[event].result = ResultCode(result);
            return result;
        }
    }

    std::vector<Event> m_events;
    std::deque<bool> m_answers;
    std::deque<SizeChoice> m_sizeChoices;
    std::deque<std::optional<std::string>> m_files;
    CScriptedDialog<FourierSettings, bool> m_fourierOps{Kind::FourierOperations, kFourierOpsTitle,
                                                        true, ValidateFourierOperations,
                                                        MessageIcon::Exclamation};
    CScriptedDialog<CNumberData, bool> m_numbers{Kind::NumberDialog, kNumberDialogTitle, true,
                                                 ValidateNumberDialog};
    CScriptedDialog<BlurSettings, bool> m_blurs{Kind::BlurDialog, kBlurDialogTitle, true};
    CScriptedDialog<CZelvantoData, int> m_zelvantos{Kind::ZelvantoDialog, kZelvantoDialogTitle,
                                                    kIdCancel};
    CScriptedDialog<CStampCutData, int> m_stampCuts{Kind::StampCutDialog, kStampCutDialogTitle,
                                                    kIdCancel};
    CScriptedDialog<CRestoreRequest, bool> m_restores{Kind::RestoreDialog, "Restore", false};
    std::vector<std::vector<CSize>> m_offeredSizes;
    std::vector<CFileDialogRequest> m_fileRequests;
    int m_waitDepth = 0;
    int m_waitCount = 0;
    int m_progressReports = 0;
    int m_cancelAt = 0;
};
