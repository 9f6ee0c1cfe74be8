// A save killed outright (SIGKILL: no handler, no unwinding) must not damage
// the file it was replacing. The save runs in a forked child that stops at a
// known point of the save and waits to be killed.
#include "FaultyFile.h"
#include "RobustSupport.h"

#include "framework/Document.h"

#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Robust;

namespace {

const Bytes kOldBytes = [] {
    Bytes b;
    for (int i = 0; i < 5000; ++i)
        b.push_back(std::uint8_t(i * 7 + 3));
    return b;
}();

int g_nReadyFd = -1;

// Tells the parent where the save stands, then waits to be killed.
[[noreturn]] void SignalAndHang()
{
    const char ready = 'r';
    (void)!::write(g_nReadyFd, &ready, 1);
    for (;;)
        ::pause();
}

// Writes the first half of each save, then stops in the middle of the data.
class CStallingFile : public CFaultyFile {
public:
    using CFaultyFile::CFaultyFile;
    void Write(const void* buffer, std::size_t n) override
    {
        if (n > 1) {
            CFaultyFile::Write(buffer, n / 2);
            SignalAndHang();
        }
        CFaultyFile::Write(buffer, n);
    }
};

std::unique_ptr<CFile> OpenStalling(const std::string& path, CDiskFile::Mode mode)
{
    auto disk = std::make_unique<CDiskFile>(path, mode);
    if (mode == CDiskFile::Mode::Read)
        return disk;
    return std::make_unique<CStallingFile>(std::move(disk));
}

enum class KillPoint { MidWrite, BeforeRename };

// Forks a child that saves a document over `target` and stops at `point`;
// kills it there with SIGKILL. Returns false if the child never got there.
bool SaveAndKill(const std::filesystem::path& target, KillPoint point)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        g_nReadyFd = fds[1];
        if (point == KillPoint::MidWrite)
            CDiskFile::s_pfnOpen = &OpenStalling;
        else
            CDiskFile::s_pfnBeforeCommit = [](const std::string&) { SignalAndHang(); };
        CQuorvelDoc doc;
        CTestUi ui;
        doc.SetUserInterface(&ui);
        FillDocument(doc, 20000, 2, 44100, 100, 19000);
        doc.SetTitle("take");
        DocumentFlow::SaveDocument(doc, target.string());
        ::_exit(3);  // never reached: the save stops at the kill point
    }
    ::close(fds[1]);
    pollfd pfd{fds[0], POLLIN, 0};
    char ready = 0;
    const bool reached = child > 0 && ::poll(&pfd, 1, 20000) == 1 && ::read(fds[0], &ready, 1) == 1;
    ::close(fds[0]);
    if (child > 0) {
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL)
            return false;
    }
    return reached;
}

class CrashSafety : public ::testing::TestWithParam<std::tuple<KillPoint, const char*>> {};

}  // namespace

TEST_P(CrashSafety, AKilledSaveLeavesTheOldFileByteForByte)
{
    const auto [point, ext] = GetParam();
    CTempFolder dir;
    const auto target = dir / (std::string("take.") + ext);
    WriteBytes(target, kOldBytes);
    ASSERT_TRUE(SaveAndKill(target, point));
    EXPECT_EQ(ReadBytes(target), kOldBytes);

    // The next save goes through and replaces the file whole.
    CQuorvelDoc doc;
    CTestUi ui;
    doc.SetUserInterface(&ui);
    FillDocument(doc, 500, 1, 44100);
    doc.SetTitle("take");
    EXPECT_TRUE(DocumentFlow::SaveDocument(doc, target.string()));
    EXPECT_NE(ReadBytes(target), kOldBytes);
    EXPECT_TRUE(ui.m_messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Points, CrashSafety,
                         ::testing::Combine(::testing::Values(KillPoint::MidWrite, KillPoint::BeforeRename),
                                            ::testing::Values("wav", "xi")),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param) == KillPoint::MidWrite ? "MidWrite"
                                                                                                 : "BeforeRename") +
                                    "_" + std::get<1>(p.param);
                         });
