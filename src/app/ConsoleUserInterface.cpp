#include "app/ConsoleUserInterface.h"

#include <cstdio>

CConsoleUserInterface::CConsoleUserInterface() : CHeadlessUserInterface(false)
{
    m_nPresetSample = 1;
}

void CConsoleUserInterface::ShowMessage(const std::string& text, const std::string&, MessageIcon)
{
    ++m_nMessages;
    std::fprintf(stderr, "ringseam: %s\n", text.c_str());
}
