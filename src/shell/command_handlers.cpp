#include "shell/command_handlers.h"

#include <QMdiArea>
#include <QPageSetupDialog>
#include <QStatusBar>
#include <QToolBar>
#include <vector>

#include "document/command_ids.h"
#include "document/zelvan_doc.h"
#include "shell/dialogs/fourier_queue_dlg.h"
#include "shell/main_frame.h"
#include "shell/zelvan_app.h"
#include "view/spectrum_window.h"
#include "view/zelvan_view.h"

namespace {

using L = CommandLevel;
using C = CCommandContext;

// The handlers by level; Open is the document's while a document window is active and the
// application's otherwise.
const std::vector<CCommandHandler> kHandlers = {
    // The active view.
    {kCmdEditCopy, L::View, [](C& c) { c.view->OnEditCopy(); },
     [](C& c, CCmdUI& ui) { ui.Enable(!c.document->m_hDIB.IsNull()); }},
    {kCmdEditPaste, L::View, [](C& c) { c.view->OnEditPaste(); },
     [](C&, CCmdUI& ui) { ui.Enable(CZelvanView::ClipboardHasPicture()); }},
    {kCmdCopyToResult, L::View, [](C& c) { c.view->OnCopyToResult(); }, nullptr},
    {kCmdViewFit, L::View, [](C& c) { c.view->SetZoom(0); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.view->Zoom() == 0); }},
    {kCmdView100, L::View, [](C& c) { c.view->SetZoom(1); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.view->Zoom() == 1); }},
    {kCmdView200, L::View, [](C& c) { c.view->SetZoom(2); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.view->Zoom() == 2); }},
    {kCmdView400, L::View, [](C& c) { c.view->SetZoom(4); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.view->Zoom() == 4); }},
    {kCmdNextMagn, L::View, [](C& c) { c.view->OnNextMagn(); }, nullptr},
    {kCmdPrevMagn, L::View, [](C& c) { c.view->OnPrevMagn(); }, nullptr},
    {kCmdFourierModifications, L::View, [](C& c) { c.view->OnFourierModifications(); }, nullptr},
    {kCmdColorChange, L::View, [](C& c) { c.view->OnColorChange(); }, nullptr},
    {kCmdUndoColor, L::View, [](C& c) { c.view->OnUndoColor(); },
     [](C& c, CCmdUI& ui) { ui.Enable(c.document->m_bColorUndo); }},
    {kCmdFilePrint, L::View, [](C& c) { c.view->OnFilePrint(); }, nullptr},
    {kCmdFilePrintPreview, L::View, [](C& c) { c.view->OnFilePrintPreview(); }, nullptr},
    {kCmdSpectrum, L::View, [](C& c) { CSpectrumWindow::Show(c.view->DocumentPtr(), &c.frame); },
     [](C& c, CCmdUI& ui) { ui.Enable(!c.document->m_hDIB.IsNull()); }},

    // Its document.
    {kCmdFileOpen, L::Document,
     [](C& c) {
         c.document->OnFileOpen();
         c.document->UpdateAllViews();
     },
     nullptr},
    {kCmdFileSave, L::Document, [](C& c) { c.document->OnFileSave(); }, nullptr},
    {kCmdFileSaveAs, L::Document,
     [](C& c) {
         c.document->OnFileSaveAs();
         c.document->UpdateAllViews();
     },
     nullptr},
    {kCmdFileClose, L::Document, [](C& c) { c.frame.CloseDocument(*c.document); }, nullptr},
    {kCmdSaveFourier, L::Document, [](C& c) { c.document->OnSaveFourierTransform(); }, nullptr},
    {kCmdAskDeleteFourier, L::Document, [](C& c) { c.document->OnAskDeleteFourierFile(); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.document->AskDeleteFourierFileChecked()); }},
    {kCmdSetOneFrequency, L::Document,
     [](C& c) {
         c.document->OnSetOneFrequency();
         c.document->UpdateAllViews();
     },
     nullptr},
    {kCmdFourierQueue, L::Document, [](C& c) { RunFourierQueueCommand(*c.document, &c.frame); },
     nullptr},
    {kCmdExecuteAllQueues, L::Document, [](C&) { RunExecuteAllQueuesCommand(); }, nullptr},
    {kCmdRestore, L::Document, [](C& c) { c.document->OnRestore(); },
     [](C& c, CCmdUI& ui) { ui.Enable(!c.document->m_hDIB.IsNull()); }},
    {kCmdRatioFrequency, L::Document, [](C& c) { c.document->OnRatioFrequency(); }, nullptr},
    {kCmdCompareResult, L::Document, [](C& c) { c.document->OnCompareResult(); }, nullptr},
    {kCmdBlur, L::Document, [](C& c) { c.document->OnBlur(); }, nullptr},
    {kCmdZelvantoFiles, L::Document, [](C& c) { c.document->OnZelvantoFiles(); }, nullptr},

    // The main frame.
    {kCmdViewToolbar, L::Frame,
     [](C& c) { c.frame.ToolBar()->setVisible(c.frame.ToolBar()->isHidden()); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(!c.frame.ToolBar()->isHidden()); }},
    {kCmdViewStatusBar, L::Frame,
     [](C& c) { c.frame.statusBar()->setVisible(c.frame.statusBar()->isHidden()); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(!c.frame.statusBar()->isHidden()); }},
    {kCmdWindowNew, L::Frame,
     [](C& c) {
         if (CZelvanView* view = c.frame.ActiveView()) c.frame.CreateView(view->DocumentPtr());
     },
     [](C& c, CCmdUI& ui) { ui.Enable(c.frame.ActiveView() != nullptr); }},
    {kCmdWindowCascade, L::Frame, [](C& c) { c.frame.MdiArea()->cascadeSubWindows(); },
     [](C& c, CCmdUI& ui) { ui.Enable(c.frame.ActiveView() != nullptr); }},
    {kCmdWindowTile, L::Frame, [](C& c) { c.frame.MdiArea()->tileSubWindows(); },
     [](C& c, CCmdUI& ui) { ui.Enable(c.frame.ActiveView() != nullptr); }},
    {kCmdWindowArrange, L::Frame, [](C& c) { c.frame.ArrangeIcons(); },
     [](C& c, CCmdUI& ui) { ui.Enable(c.frame.ActiveView() != nullptr); }},
    {kCmdFastTransform, L::Frame,
     [](C& c) {
         c.app.SetEngine(CZelvanApp::FastTransformShown(c.document) ? EngineChoice::Projection
                                                                    : EngineChoice::Fft);
     },
     [](C& c, CCmdUI& ui) { ui.SetCheck(CZelvanApp::FastTransformShown(c.document)); }},
    {kCmdEngineBySize, L::Frame, [](C& c) { c.app.SetEngine(EngineChoice::Automatic); },
     [](C& c, CCmdUI& ui) { ui.SetCheck(c.app.Engine() == EngineChoice::Automatic); }},

    // The application.
    {kCmdFileNew, L::App, [](C& c) { c.app.OnFileNew(); }, nullptr},
    {kCmdFileOpen, L::App, [](C& c) { c.app.OnFileOpen(); }, nullptr},
    {kCmdFilePrintSetup, L::App,
     [](C& c) {
         QPageSetupDialog dialog(&SharedPrinter(), &c.frame);
         dialog.exec();
     },
     nullptr},
    {kCmdAppExit, L::App, [](C& c) { c.frame.close(); }, nullptr},
    {kCmdAppAbout, L::App, [](C& c) { c.app.OnAppAbout(); }, nullptr},
};

const CCommandHandler* FindHandler(int id, const CCommandContext& context) {
    for (const CommandLevel level : {L::View, L::Document, L::Frame, L::App}) {
        if (level == L::View && !context.view) continue;
        if (level == L::Document && !context.document) continue;
        for (const CCommandHandler& handler : kHandlers)
            if (handler.id == id && handler.level == level) return &handler;
    }
    return nullptr;
}

}  // namespace

bool RunCommand(int id, CCommandContext& context) {
    const CCommandHandler* handler = FindHandler(id, context);
    if (!handler) return false;
    handler->run(context);
    return true;
}

bool UpdateCommand(CCommandContext& context, CCmdUI& ui) {
    const CCommandHandler* handler = FindHandler(ui.id, context);
    if (!handler) return false;
    if (handler->update) handler->update(context, ui);
    return true;
}

bool HasHandler(int id) {
    for (const CCommandHandler& handler : kHandlers)
        if (handler.id == id) return true;
    return false;
}
