#include "app/ShellView.h"

void CShellView::ShowMessage(const QString& text, bool bWarning)
{
    GetDocument().GetUserInterface().ShowMessage(text.toStdString(), std::string(),
                                                 bWarning ? MessageIcon::Warning : MessageIcon::None);
}
