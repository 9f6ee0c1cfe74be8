// Loop tables as JSON: the objects `loops --json` prints, one per file, read
// back by `apply-loops`. The text may hold them one per line as printed, or
// laid out over many lines or gathered in an array, as a JSON tool writes
// them after an edit. Problems name the line where their object starts.
#include "cli/LoopTable.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string_view>
#include <variant>

namespace {

// Nesting deeper than this is no loop table; the limit keeps a hostile text
// from exhausting the stack.
constexpr int kMaxDepth = 32;

struct CJsonValue;
using CJsonArray = std::vector<CJsonValue>;
using CJsonObject = std::map<std::string, CJsonValue>;

struct CJsonValue {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<CJsonArray>, std::shared_ptr<CJsonObject>>
        m_value;
    int m_nLine = 0;  // where the value starts, from 1
};

// A reader of standard JSON (RFC 8259) over the whole text; the first
// error stops it with a sentence naming its line.
class CJsonReader {
public:
    // A byte-order mark before the text, as some editors write, is skipped.
    explicit CJsonReader(const std::string& text) : m_text(text), m_pos(text.starts_with("\xEF\xBB\xBF") ? 3 : 0) {}

    bool AtEnd()
    {
        SkipSpace();
        return m_pos >= m_text.size();
    }
    int Line() const { return m_nLine; }

    // The next value; nullopt with `error` set when the text is not JSON.
    std::optional<CJsonValue> Read(std::string& error, int depth = 0)
    {
        SkipSpace();
        CJsonValue v;
        v.m_nLine = m_nLine;
        if (depth > kMaxDepth)
            return Fail(error, "the JSON is nested too deeply.");
        if (m_pos >= m_text.size())
            return Fail(error, "the JSON ends too early.");
        const char ch = m_text[m_pos];
        if (ch == '{') {
            ++m_pos;
            auto object = std::make_shared<CJsonObject>();
            if (!Consume('}')) {
                do {
                    SkipSpace();
                    std::string key;
                    if (!ReadString(key, error) || !Expect(':', error))
                        return std::nullopt;
                    auto member = Read(error, depth + 1);
                    if (!member)
                        return std::nullopt;
                    (*object)[key] = std::move(*member);
                } while (Consume(','));
                if (!Expect('}', error))
                    return std::nullopt;
            }
            v.m_value = object;
        } else if (ch == '[') {
            ++m_pos;
            auto array = std::make_shared<CJsonArray>();
            if (!Consume(']')) {
                do {
                    auto item = Read(error, depth + 1);
                    if (!item)
                        return std::nullopt;
                    array->push_back(std::move(*item));
                } while (Consume(','));
                if (!Expect(']', error))
                    return std::nullopt;
            }
            v.m_value = array;
        } else if (ch == '"') {
            std::string s;
            if (!ReadString(s, error))
                return std::nullopt;
            v.m_value = std::move(s);
        } else if (Word("true")) {
            v.m_value = true;
        } else if (Word("false")) {
            v.m_value = false;
        } else if (Word("null")) {
            v.m_value = nullptr;
        } else {
            double number = 0.0;
            const char* first = m_text.data() + m_pos;
            const auto [end, ec] = std::from_chars(first, m_text.data() + m_text.size(), number);
            if (ec != std::errc() || end == first || *first == '+')
                return Fail(error, "the JSON has an unexpected character.");
            m_pos += std::size_t(end - first);
            v.m_value = number;
        }
        return v;
    }

private:
    std::optional<CJsonValue> Fail(std::string& error, const char* what)
    {
        error = "line " + std::to_string(m_nLine) + ": " + what;
        return std::nullopt;
    }

    void SkipSpace()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) {
            if (m_text[m_pos] == '\n')
                ++m_nLine;
            ++m_pos;
        }
    }

    bool Consume(char ch)
    {
        SkipSpace();
        if (m_pos < m_text.size() && m_text[m_pos] == ch) {
            ++m_pos;
            return true;
        }
        return false;
    }

    bool Expect(char ch, std::string& error)
    {
        if (Consume(ch))
            return true;
        Fail(error, ch == ':' ? "the JSON misses a ':' after a name."
                              : "the JSON misses a ',' or a closing bracket.");
        return false;
    }

    bool Word(const char* word)
    {
        const std::string_view w(word);
        if (m_text.compare(m_pos, w.size(), w) != 0)
            return false;
        m_pos += w.size();
        return true;
    }

    // A string with its escapes resolved (\u as UTF-8).
    bool ReadString(std::string& out, std::string& error)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != '"')
            return Fail(error, "the JSON has a name that is not a quoted string."), false;
        ++m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] != '"') {
            const char ch = m_text[m_pos++];
            if (ch == '\n')
                return Fail(error, "a JSON string runs past the end of its line."), false;
            if (ch != '\\') {
                out += ch;
                continue;
            }
            if (m_pos >= m_text.size())
                break;
            const char esc = m_text[m_pos++];
            static const std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            if (const auto i = kFrom.find(esc); i != std::string_view::npos) {
                out += kTo[i];
            } else if (esc == 'u' && m_pos + 4 <= m_text.size()) {
                unsigned code = 0;
                const auto [end, ec] = std::from_chars(m_text.data() + m_pos, m_text.data() + m_pos + 4, code, 16);
                if (ec != std::errc() || end != m_text.data() + m_pos + 4)
                    return Fail(error, "a JSON string has a bad \\u escape."), false;
                m_pos += 4;
                if (code < 0x80) {
                    out += char(code);
                } else if (code < 0x800) {
                    out += char(0xC0 | (code >> 6));
                    out += char(0x80 | (code & 0x3F));
                } else {
                    out += char(0xE0 | (code >> 12));
                    out += char(0x80 | ((code >> 6) & 0x3F));
                    out += char(0x80 | (code & 0x3F));
                }
            } else {
                return Fail(error, "a JSON string has an unknown escape."), false;
            }
        }
        if (m_pos >= m_text.size())
            return Fail(error, "a JSON string is not closed."), false;
        ++m_pos;
        return true;
    }

    const std::string& m_text;
    std::size_t m_pos;
    int m_nLine = 1;
};

// A whole frame number held by `v`, or nullopt.
std::optional<int> FrameOf(const CJsonValue& v)
{
    const double* d = std::get_if<double>(&v.m_value);
    if (!d || *d != std::floor(*d) || *d < INT32_MIN || *d > INT32_MAX)
        return std::nullopt;
    return int(*d);
}

// The loops and release marker of one object, appended to `files` (or
// merged into an earlier object of the same path, which then is an error).
void AddFile(const CJsonValue& value, std::vector<CLoopTableFile>& files, std::set<std::string>& paths,
             std::vector<std::string>& problems)
{
    const std::string where = "line " + std::to_string(value.m_nLine) + ": ";
    const auto* object = std::get_if<std::shared_ptr<CJsonObject>>(&value.m_value);
    if (!object) {
        problems.push_back(where + "each file must be a JSON object with path, loops and release.");
        return;
    }
    const CJsonObject& o = **object;
    const auto member = [&](const char* name) { return o.contains(name) ? &o.at(name) : nullptr; };
    const auto* path = member("path") ? std::get_if<std::string>(&member("path")->m_value) : nullptr;
    if (!path || path->empty()) {
        problems.push_back(where + "the object has no file name in path.");
        return;
    }
    if (!paths.insert(*path).second) {
        problems.push_back(where + *path + " is given twice.");
        return;
    }
    CLoopTableFile file;
    file.m_strPath = *path;
    file.m_nLine = value.m_nLine;
    if (const CJsonValue* release = member("release"); release && !std::holds_alternative<std::nullptr_t>(release->m_value)) {
        const auto frame = FrameOf(*release);
        if (!frame || *frame < 0)
            problems.push_back("line " + std::to_string(release->m_nLine) +
                               ": the release marker needs a frame number of at least 0, or null for none.");
        else
            file.m_nRelease = *frame, file.m_nReleaseLine = release->m_nLine;
    }
    const CJsonValue* loops = member("loops");
    const auto* array = loops ? std::get_if<std::shared_ptr<CJsonArray>>(&loops->m_value) : nullptr;
    if (loops && !array)
        problems.push_back(where + "loops must be a JSON array.");
    for (const CJsonValue& item : array ? **array : CJsonArray{}) {
        const std::string at = "line " + std::to_string(item.m_nLine) + ": ";
        const auto* loop = std::get_if<std::shared_ptr<CJsonObject>>(&item.m_value);
        const auto field = [&](const char* name) { return loop && (*loop)->contains(name) ? &(*loop)->at(name) : nullptr; };
        const auto start = field("start") ? FrameOf(*field("start")) : std::nullopt;
        const auto end = field("end") ? FrameOf(*field("end")) : std::nullopt;
        std::optional<std::uint32_t> type = 0u;
        if (const CJsonValue* t = field("type")) {
            const auto* name = std::get_if<std::string>(&t->m_value);
            const auto code = FrameOf(*t);
            type = name ? LoopTypeFromName(*name)
                        : code && *code >= 0 ? std::optional<std::uint32_t>(std::uint32_t(*code)) : std::nullopt;
        }
        if (!loop)
            problems.push_back(at + "each loop must be a JSON object with start, end and type.");
        else if (!start || !end)
            problems.push_back(at + "start and end must be whole frame numbers.");
        else if (!type)
            problems.push_back(at + "unknown loop type.");
        else
            file.m_loops.push_back(CLoopPoints{*start, *end, *type}), file.m_loopLines.push_back(item.m_nLine);
    }
    files.push_back(std::move(file));
}

}  // namespace

std::vector<CLoopTableFile> ParseLoopTableJson(const std::string& text, std::vector<std::string>& problems)
{
    std::vector<CLoopTableFile> files;
    std::set<std::string> paths;
    CJsonReader reader(text);
    while (!reader.AtEnd()) {
        std::string error;
        const std::optional<CJsonValue> value = reader.Read(error);
        if (!value) {
            problems.push_back(error);
            return files;
        }
        if (const auto* array = std::get_if<std::shared_ptr<CJsonArray>>(&value->m_value))
            for (const CJsonValue& item : **array)
                AddFile(item, files, paths, problems);
        else
            AddFile(*value, files, paths, problems);
    }
    if (files.empty() && problems.empty())
        problems.push_back("the table is empty.");
    return files;
}
