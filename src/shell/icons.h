#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

// The program's pictures, drawn rather than loaded so the program needs no files beside
// it: the nine toolbar images (16 x 15 pixels, in the order New, Open, Save, Save As,
// Copy, Paste, Print, Fourier, Color), the application icon and the document icon.
QPixmap ToolbarStrip();
std::vector<QIcon> ToolbarIcons();
QIcon ApplicationIcon();
QIcon DocumentIcon();
