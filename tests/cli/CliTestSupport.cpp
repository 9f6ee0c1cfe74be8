#include "CliTestSupport.h"

#include "cli/CliDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace clitest {

namespace {

void Put16(std::string& s, int v)
{
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void Put32(std::string& s, long long v)
{
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// A recursive-descent check of JSON syntax.
class CJsonChecker {
public:
    explicit CJsonChecker(const std::string& t) : m_t(t) {}
    bool Check()
    {
        Ws();
        if (!Value())
            return false;
        Ws();
        return m_i == m_t.size();
    }

private:
    void Ws()
    {
        while (m_i < m_t.size() && std::strchr(" \t\r\n", m_t[m_i]))
            ++m_i;
    }
    bool Eat(char c)
    {
        Ws();
        if (m_i < m_t.size() && m_t[m_i] == c) {
            ++m_i;
            return true;
        }
        return false;
    }
    bool Literal(const char* word)
    {
        const std::size_t n = std::strlen(word);
        if (m_t.compare(m_i, n, word) != 0)
            return false;
        m_i += n;
        return true;
    }
    bool String()
    {
        if (!Eat('"'))
            return false;
        while (m_i < m_t.size()) {
            const unsigned char c = static_cast<unsigned char>(m_t[m_i++]);
            if (c == '"')
                return true;
            if (c < 0x20)
                return false;
            if (c == '\\') {
                if (m_i >= m_t.size())
                    return false;
                const char e = m_t[m_i++];
                if (e == 'u') {
                    for (int k = 0; k < 4; ++k)
                        if (m_i >= m_t.size() || !std::isxdigit(static_cast<unsigned char>(m_t[m_i++])))
                            return false;
                } else if (!std::strchr("\"\\/bfnrt", e)) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Number()
    {
        const std::size_t begin = m_i;
        if (m_i < m_t.size() && m_t[m_i] == '-')
            ++m_i;
        if (m_i >= m_t.size() || !std::isdigit(static_cast<unsigned char>(m_t[m_i])))
            return false;
        if (m_t[m_i] == '0')
            ++m_i;
        else
            while (m_i < m_t.size() && std::isdigit(static_cast<unsigned char>(m_t[m_i])))
                ++m_i;
        if (m_i < m_t.size() && m_t[m_i] == '.') {
            ++m_i;
            if (m_i >= m_t.size() || !std::isdigit(static_cast<unsigned char>(m_t[m_i])))
                return false;
            while (m_i < m_t.size() && std::isdigit(static_cast<unsigned char>(m_t[m_i])))
                ++m_i;
        }
        if (m_i < m_t.size() && (m_t[m_i] == 'e' || m_t[m_i] == 'E')) {
            ++m_i;
            if (m_i < m_t.size() && (m_t[m_i] == '+' || m_t[m_i] == '-'))
                ++m_i;
            if (m_i >= m_t.size() || !std::isdigit(static_cast<unsigned char>(m_t[m_i])))
                return false;
            while (m_i < m_t.size() && std::isdigit(static_cast<unsigned char>(m_t[m_i])))
                ++m_i;
        }
        return m_i > begin;
    }
    bool Value()
    {
        Ws();
        if (m_i >= m_t.size())
            return false;
        const char c = m_t[m_i];
        if (c == '{') {
            ++m_i;
            if (Eat('}'))
                return true;
            do {
                Ws();
                if (!String() || !Eat(':') || !Value())
                    return false;
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            ++m_i;
            if (Eat(']'))
                return true;
            do {
                if (!Value())
                    return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"')
            return String();
        if (c == 't')
            return Literal("true");
        if (c == 'f')
            return Literal("false");
        if (c == 'n')
            return Literal("null");
        return Number();
    }

    const std::string& m_t;
    std::size_t m_i = 0;
};

}  // namespace

std::vector<std::string> CRun::OutLines() const { return Lines(m_strOut); }
std::vector<std::string> CRun::ErrLines() const { return Lines(m_strErr); }

CRun RunCli(const std::vector<std::string>& args)
{
    CTempFolder dir;
    const std::string outPath = (dir / "stdout").string();
    const std::string errPath = (dir / "stderr").string();
    std::vector<std::string> argv = {RINGSEAM_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    CRun run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::execv(cargv[0], cargv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.m_nCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.m_strOut = ReadFile(outPath);
    run.m_strErr = ReadFile(errPath);
    return run;
}

CRun RunCliOnTerminal(const std::vector<std::string>& args)
{
    std::vector<std::string> argv = {RINGSEAM_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    CRun run;
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(cargv[0], cargv.data());
        ::_exit(127);
    }
    if (pid < 0)
        return run;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break;  // EIO once the program has ended and closed the terminal
        run.m_strOut.append(buf, std::size_t(n));
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.m_nCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

double TestTone(int frame, int channel, double period)
{
    const double pi = 3.141592653589793;
    const double ph = 2 * pi * frame / period + channel * 0.7;
    const double env = 0.3 + 0.6 * std::exp(-frame / 30000.0);
    return env * (0.6 * std::sin(ph) + 0.25 * std::sin(2 * ph + 0.3) + 0.1 * std::sin(5 * ph + 1.1));
}

std::string MakeWav(const CWavSpec& spec)
{
    const int bytesPerSample = spec.m_nBits / 8;
    const int blockAlign = spec.m_nChannels * bytesPerSample;
    std::string data;
    for (int f = 0; f < spec.m_nFrames; ++f)
        for (int c = 0; c < spec.m_nChannels; ++c) {
            const double v = spec.m_signal(f, c);
            if (bytesPerSample == 1)
                data += char(std::lround(v * 127.0) + 128);
            else
                Put16(data, int(std::lround(v * 32767.0)));
        }
    std::string body = "WAVE";
    body += "fmt ";
    Put32(body, 16);
    Put16(body, 1);
    Put16(body, spec.m_nChannels);
    Put32(body, spec.m_nRate);
    Put32(body, spec.m_nRate * blockAlign);
    Put16(body, blockAlign);
    Put16(body, spec.m_nBits);
    if (spec.m_bLoop) {
        body += "smpl";
        Put32(body, 60);
        for (int i = 0; i < 3; ++i)
            Put32(body, i == 2 ? 1000000000LL / spec.m_nRate : 0);
        Put32(body, spec.m_nUnityNote);
        for (int i = 0; i < 3; ++i)
            Put32(body, 0);
        Put32(body, 1);  // one loop
        Put32(body, 0);
        body += "loop";
        Put32(body, 0);
        Put32(body, spec.m_nLoopStart);
        Put32(body, spec.m_nLoopEnd - 1);
        Put32(body, 0);
        Put32(body, 0);
    }
    body += "data";
    Put32(body, static_cast<long long>(data.size()));
    body += data;
    std::string file = "RIFF";
    Put32(file, static_cast<long long>(body.size()));
    return file + body;
}

std::string MakeXi(const std::vector<CXiSample>& samples)
{
    std::string h = "Extended Instrument: ";
    h += std::string("Test instrument") + std::string(22 - 15, ' ');
    h += char(0x1A);
    h += std::string("Test") + std::string(16, ' ');
    h += char(0x02);
    h += char(0x01);
    h.resize(296, '\0');
    Put16(h, int(samples.size()));
    std::string data;
    for (const CXiSample& s : samples) {
        const int w = s.m_nBits / 8;
        Put32(h, static_cast<long long>(s.m_values.size()) * w);
        Put32(h, s.m_nLoopStartBytes);
        Put32(h, s.m_nLoopLengthBytes);
        h += char(64);
        h += char(0);
        h += char(s.m_nLoopType | (w == 2 ? 0x10 : 0));
        h += char(128);
        h += char(s.m_nRelativeNote);
        h += char(0);
        h += std::string(22, '\0');
        int prev = 0;
        for (const int v : s.m_values) {
            const int d = v - prev;
            prev = v;
            if (w == 1)
                data += char(d & 0xFF);
            else
                Put16(data, d & 0xFFFF);
        }
    }
    return h + data;
}

std::vector<int> XiTone(int frames, int bits, double period)
{
    std::vector<int> v(std::size_t(frames), 0);
    const double scale = bits == 8 ? 120.0 : 32000.0;
    for (int f = 0; f < frames; ++f)
        v[std::size_t(f)] = int(std::lround(TestTone(f, 0, period) * scale));
    return v;
}

bool IsValidJson(const std::string& text) { return CJsonChecker(text).Check(); }

std::string JsonMember(const std::string& line, const std::string& key)
{
    const std::string tag = "\"" + key + "\":";
    const std::size_t at = line.find(tag);
    if (at == std::string::npos)
        return {};
    const std::size_t begin = at + tag.size();
    return line.substr(begin, line.find_first_of(",}]", begin) - begin);
}

CLoadedDoc::CLoadedDoc(const fs::path& path)
{
    std::string why;
    EXPECT_TRUE(LoadSampleDocument(doc, ui, path.string(), why)) << why;
}

std::vector<std::string> SplitCsv(const std::string& line)
{
    std::vector<std::string> cells;
    std::istringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    return cells;
}

}  // namespace clitest
