#pragma once

class CZelvanView;

// The main window's document windows as the views' dialogs reach them. The main frame
// installs itself for its life; without one, MainViewWindows() is null.
class CViewWindows {
public:
    virtual ~CViewWindows() = default;
    // Whether a document window is active, and the view it shows (null when none).
    virtual bool HasActiveWindow() const = 0;
    virtual CZelvanView* ActiveView() const = 0;
    // Activates the next document window (after the last, the first).
    virtual void ActivateNextView() = 0;
};

CViewWindows* MainViewWindows();
void SetMainViewWindows(CViewWindows* windows);
