#include "app/GuiUserInterface.h"

#include "analysis/ComputeFFTDlg.h"
#include "document/SelectSampleDlg.h"

#include <QApplication>
#include <QMessageBox>

QWidget* CGuiUserInterface::Owner() const
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (m_pParent && m_pParent->isVisible())
        return m_pParent;
    return nullptr;
}

void CGuiUserInterface::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::None: boxIcon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: boxIcon = QMessageBox::Information; break;
    case MessageIcon::Stop: boxIcon = QMessageBox::Critical; break;
    case MessageIcon::Warning: boxIcon = QMessageBox::Warning; break;
    }
    QMessageBox box(boxIcon, QString::fromStdString(caption.empty() ? std::string(kAppTitle) : caption),
                    QString::fromStdString(text), QMessageBox::Ok, Owner());
    box.exec();
}

std::optional<int> CGuiUserInterface::ChooseSample(int nSampleCount)
{
    CSelectSampleDlg dlg(nSampleCount, Owner());
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.m_nSample;
}

bool CGuiUserInterface::RunProgress(IProgressSource& source)
{
    CComputeFFTDlg dlg(source, Owner());
    return dlg.exec() == QDialog::Accepted;
}
