// The program's pictures, drawn in code: the application icon (a waveform
// with a loop bracket) and the toolbar button images. Toolbar buttons prefer
// the desktop theme's icon of the same meaning and fall back to these.
//
// User-interface thread only (they create pixmaps).
#pragma once

#include <QIcon>

// The application icon at the usual sizes (16 … 256 pixels).
QIcon CreateAppIcon();

// The toolbar image of command nID (a null icon for a command without one).
QIcon CreateCommandIcon(int nID);
