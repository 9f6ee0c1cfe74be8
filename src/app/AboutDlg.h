// CAboutDlg: the modal About box: the application icon, "Ringseam Version
// 1.0", a credits line and OK. Reads and returns nothing.
#pragma once

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
