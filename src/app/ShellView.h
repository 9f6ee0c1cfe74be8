// CShellView: the waveform view as the shell uses it. Its messages ("Unable
// to open sound output device.", "Sound error.", a failed Reload) go through
// the document's user interface like every other message of the program, so
// they are message boxes on the desktop and stderr lines in the unattended
// modes.
//
// User-interface thread only; the document must outlive the view.
#pragma once

#include "view/QuorvelView.h"

class CShellView : public CQuorvelView {
    Q_OBJECT
public:
    using CQuorvelView::CQuorvelView;

protected:
    void ShowMessage(const QString& text, bool bWarning) override;
};
