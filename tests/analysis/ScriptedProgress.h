// A user interface whose progress cancels at a chosen step, for tests of the
// bank worker protocol. It polls quickly (the poll period is not what these
// tests check) and records what it saw.
#pragma once

#include "framework/UserInterface.h"

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

class CCancelAtStepUserInterface : public IUserInterface {
public:
    static constexpr int kNever = -1;

    // nCancelAt: kNever lets the computation finish; 0 cancels before the
    // first poll; k cancels at the first poll that sees at least k steps done
    // (k = total: after the last step, before the progress would close).
    explicit CCancelAtStepUserInterface(int nCancelAt, int nPollMs = 1) : m_nCancelAt(nCancelAt), m_nPollMs(nPollMs) {}

    void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
    std::optional<int> ChooseSample(int) override { return std::nullopt; }

    bool RunProgress(IProgressSource& source) override
    {
        m_nTotal = source.GetTotal();
        if (m_nCancelAt == 0) {
            source.Cancel();
            m_bCancelled = true;
            return false;
        }
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_nPollMs));
            const int done = source.PollDone();
            m_polls.push_back(done);
            if (m_fnOnPoll)
                m_fnOnPoll(done, m_nTotal);
            if (m_nCancelAt != kNever && done >= m_nCancelAt) {
                source.Cancel();
                m_bCancelled = true;
                return false;
            }
            if (done == m_nTotal)
                return true;
        }
    }

    int m_nCancelAt;
    int m_nPollMs;
    int m_nTotal = -1;
    bool m_bCancelled = false;
    std::vector<int> m_polls;
    // Called on the UI thread after every poll with (done, total).
    std::function<void(int, int)> m_fnOnPoll;
};
