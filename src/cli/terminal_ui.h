#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/doc_settings.h"
#include "platform/geometry.h"
#include "platform/stream_ui.h"
#include "stamp/restore_request.h"

// What the command line enters in the "Fourier Operations" dialog: the kind and,
// optionally, that kind's parameter.
struct CFourierOpsPreset {
    int32_t kind = 0;
    std::optional<double> param;
};

// What the command line enters in the "Dialog Number" dialog.
struct CNumberPreset {
    int32_t choice = 0;
    std::optional<int32_t> x;
    std::optional<int32_t> y;
};

// What the command line enters in "Dialog Zelvanto": the names it gives (entered as a
// "Browse ..." enters them, so they count whatever button ends the dialog) and the button.
struct CZelvantoPreset {
    int result = kIdOk;
    std::optional<std::string> good;
    std::optional<std::string> blurred;
    std::optional<std::string> compare;
};

// What the command line does in "Dialog Stamp Cut": one "Try Fraction" for each fraction,
// in order, then "Use This" with the peak position moved to peak when one is given.
struct CStampCutPreset {
    std::vector<double> tries;
    std::optional<CPoint> peak;
};

// The command line's port: the stream port's messages, questions, size choice and file
// dialogs, and the system's dialogs. The Fourier dialogs take their presets and press OK;
// when the dialog's validation refuses them, its message is shown and, there being nobody
// to correct the entry, the dialog is cancelled. The blur dialog takes its preset, or what
// it shows, and presses OK, refused in the same way by the blur's rules; "Dialog Zelvanto"
// takes its preset or is cancelled; "Dialog Stamp Cut" tries the preset's fractions and then
// uses the cut, telling on the stream what each pass shows.
class CTerminalUi : public CStreamUi {
public:
    explicit CTerminalUi(std::FILE* out = stderr) : CStreamUi(out) {}

    // A message kept back instead of shown.
    struct CHeldMessage {
        std::string text;
        MessageIcon icon;
    };

    void Message(const std::string& text, MessageIcon icon = MessageIcon::None) override;
    // While a list is given, messages are added to it instead of being shown: a step whose
    // result is a message box reports it once, on stdout, and shows the others afterwards.
    void HoldMessages(std::vector<CHeldMessage>* held) { m_held = held; }

    bool FourierOperations(FourierSettings& settings) override;
    bool NumberDialog(CNumberData& data) override;
    bool BlurDialog(BlurSettings& settings) override;
    // The Restore dialog takes its preset (the Good and Blurred names it shows kept unless the
    // preset's kernel is learnt from an example pair), or what it shows, and presses OK;
    // settings the restoration refuses cancel it, counted as refused.
    bool RestoreDialog(CRestoreRequest& request, const DibHandle& picture) override;
    int ZelvantoDialog(CZelvantoData& data) override;
    int StampCutDialog(CStampCutData& data) override;

    void SetFourierOperations(std::optional<CFourierOpsPreset> preset) { m_fourierOps = preset; }
    void SetNumberDialog(std::optional<CNumberPreset> preset) { m_number = preset; }
    void SetBlurDialog(std::optional<BlurSettings> preset) { m_blur = preset; }
    void SetRestoreDialog(std::optional<CRestoreRequest> preset) { m_restore = std::move(preset); }
    void SetZelvantoDialog(std::optional<CZelvantoPreset> preset) { m_zelvanto = preset; }
    // Starts the passes of the next stamp cut anew.
    void SetStampCut(CStampCutPreset preset) {
        m_stampCut = std::move(preset);
        m_stampCutPass = 0;
    }

    // Fourier Operations, Number, blur and Restore dialogs cancelled because their entries were
    // refused.
    int RefusedDialogs() const { return m_refusedDialogs; }

private:
    std::optional<CFourierOpsPreset> m_fourierOps;
    std::optional<CNumberPreset> m_number;
    std::optional<BlurSettings> m_blur;
    std::optional<CRestoreRequest> m_restore;
    std::optional<CZelvantoPreset> m_zelvanto;
    CStampCutPreset m_stampCut;
    size_t m_stampCutPass = 0;
    int m_refusedDialogs = 0;
    std::vector<CHeldMessage>* m_held = nullptr;
};
