#include "framework/UserInterface.h"

#include <chrono>
#include <cstdio>
#include <thread>

void CHeadlessUserInterface::ShowMessage(const std::string& text, const std::string& caption, MessageIcon)
{
    if (m_bVerbose)
        std::fprintf(stderr, "%s: %s\n", caption.empty() ? kAppTitle : caption.c_str(), text.c_str());
}

std::optional<int> CHeadlessUserInterface::ChooseSample(int nSampleCount)
{
    if (m_nPresetSample && *m_nPresetSample >= 1 && *m_nPresetSample <= nSampleCount)
        return m_nPresetSample;
    return std::nullopt;
}

bool CHeadlessUserInterface::RunProgress(IProgressSource& source)
{
    const int total = source.GetTotal();
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (source.PollDone() == total)
            return true;
    }
}

IUserInterface& DefaultUserInterface()
{
    static CHeadlessUserInterface ui;
    return ui;
}
