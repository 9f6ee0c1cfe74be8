#include "cli/CliUserInterface.h"

#include "cli/CliInterrupt.h"
#include "cli/CliOptions.h"
#include "document/SampleChoice.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

CCliUserInterface::CCliUserInterface(std::optional<int> nXISample, std::ostream* pErr, bool bProgressBar,
                                     bool bQuiet, EPoll poll)
    : m_nXISample(nXISample), m_pErr(pErr), m_bProgressBar(bProgressBar && pErr && !bQuiet), m_bQuiet(bQuiet),
      m_poll(poll)
{
}

void CCliUserInterface::ShowMessage(const std::string& text, const std::string&, MessageIcon icon)
{
    if (icon == MessageIcon::Stop || icon == MessageIcon::Warning) {
        // A failure (or an operation that could not be done, such as Auto
        // Loop without a steady part): the command prints it once, with the
        // file it concerns.
        m_strFailure = text;
        return;
    }
    if (m_bQuiet)
        return;
    if (m_pErr)
        *m_pErr << kCliName << ": " << text << '\n' << std::flush;
    else
        m_notes.push_back(text);
}

std::optional<int> CCliUserInterface::ChooseSample(int nSampleCount)
{
    const std::string count = "the instrument has " + std::to_string(nSampleCount) + " non-empty samples";
    if (!m_nXISample) {
        m_strChoiceFailure = count + "; choose one with --xi-sample K (1 to " + std::to_string(nSampleCount) + ")";
        return std::nullopt;
    }
    if (!IsValidSampleChoice(*m_nXISample, nSampleCount)) {
        m_strChoiceFailure = std::string(kSampleChoiceError) + " --xi-sample " + std::to_string(*m_nXISample) + ": " +
                             count + ", choose 1 to " + std::to_string(nSampleCount) + ".";
        return std::nullopt;
    }
    return m_nXISample;
}

bool CCliUserInterface::RunProgress(IProgressSource& source)
{
    using namespace std::chrono;
    const int total = source.GetTotal();
    const auto begin = steady_clock::now();
    for (;;) {
        microseconds wait = milliseconds(50);
        if (m_poll == EPoll::Adaptive) {
            // Short computations end soon after they do; long ones are
            // polled less and less often, never later than 1/8 of the time
            // spent plus one poll.
            const auto spent = duration_cast<microseconds>(steady_clock::now() - begin);
            wait = std::clamp(spent / 8, microseconds(50), microseconds(milliseconds(50)));
        }
        std::this_thread::sleep_for(wait);
        if (IsInterrupted()) {
            source.Cancel();
            if (m_bProgressBar)
                *m_pErr << "\r\x1b[K" << std::flush;
            m_strChoiceFailure = "interrupted.";
            return false;
        }
        const int done = source.PollDone();
        if (done >= 0 && m_bProgressBar)
            DrawBar(done, total);
        if (done == total)
            break;
    }
    if (m_bProgressBar)
        *m_pErr << "\r\x1b[K" << std::flush;
    return true;
}

void CCliUserInterface::DrawBar(int done, int total)
{
    constexpr int kWidth = 30;
    const int filled = total > 0 ? int(std::int64_t(done) * kWidth / total) : kWidth;
    const int percent = total > 0 ? int(std::int64_t(done) * 100 / total) : 100;
    *m_pErr << "\rComputing FFT [" << std::string(std::size_t(filled), '#')
            << std::string(std::size_t(kWidth - filled), ' ') << "] " << percent << "%" << std::flush;
}

std::string CCliUserInterface::TakeFailure()
{
    std::string why = !m_strChoiceFailure.empty() ? m_strChoiceFailure : m_strFailure;
    m_strChoiceFailure.clear();
    m_strFailure.clear();
    return why;
}
