#include "app/SampleDocTemplate.h"

#include "framework/Document.h"

#include <cctype>
#include <cstring>

namespace {

// ASCII comparison without regard to case; extensions are compared this way.
bool EqualsNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The file-name part of a path (after the last slash or backslash).
std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CSampleDocTemplate::CSampleDocTemplate(std::string strDocStrings) : m_strDocStrings(std::move(strDocStrings)) {}

CSampleDocTemplate::~CSampleDocTemplate() = default;

bool CSampleDocTemplate::GetDocString(std::string& rString, int index) const
{
    rString.clear();
    if (index < 0)
        return true;
    std::size_t begin = 0;
    for (int i = 0; i < index; ++i) {
        const auto lf = m_strDocStrings.find('\n', begin);
        if (lf == std::string::npos)
            return true;  // missing field: empty
        begin = lf + 1;
    }
    const auto end = m_strDocStrings.find('\n', begin);
    std::string field = m_strDocStrings.substr(begin, end == std::string::npos ? std::string::npos : end - begin);

    if (index == filterExt) {
        // Put "*" after the first semicolon so the framework's "*" + field
        // becomes "*.wav;*.xi", a filter matching both extensions.
        const auto semi = field.find(';');
        if (semi != std::string::npos)
            field = field.substr(0, semi + 1) + '*' + field.substr(semi + 1);
    }
    rString = std::move(field);
    return true;
}

CSampleDocTemplate::Confidence CSampleDocTemplate::MatchDocType(const std::string& pathName,
                                                                CDocument*& rpDocMatch) const
{
    rpDocMatch = nullptr;
    // Exact, case-sensitive path comparison: another spelling of the same
    // file is read again rather than brought forward.
    if (m_pDocument && m_pDocument->GetPathName() == pathName) {
        rpDocMatch = m_pDocument;
        return yesAlreadyOpen;
    }

    std::string filterExt;
    if (!GetDocString(filterExt, CSampleDocTemplate::filterExt) || filterExt.empty())
        return yesAttemptForeign;

    // The tail from the last dot of the whole path, dot included. A dot in a
    // folder name with none in the file name gives a tail with a slash in it,
    // which matches nothing.
    const auto dot = pathName.rfind('.');
    if (dot == std::string::npos)
        return yesAttemptForeign;
    const std::string ext = pathName.substr(dot);

    const auto semi = filterExt.find(';');
    if (semi != std::string::npos) {
        const std::string first = filterExt.substr(0, semi);
        // Skip the semicolon and the asterisk GetDocString put after it.
        const std::string second = semi + 2 <= filterExt.size() ? filterExt.substr(semi + 2) : std::string();
        if (EqualsNoCase(ext, first) || EqualsNoCase(ext, second))
            return yesAttemptNative;
    } else if (EqualsNoCase(ext, filterExt)) {
        return yesAttemptNative;
    }
    return yesAttemptForeign;
}

std::string CSampleDocTemplate::GetFilterName() const
{
    std::string name;
    GetDocString(name, filterName);
    return name;
}

std::string CSampleDocTemplate::GetFilterPatterns() const
{
    std::string ext;
    GetDocString(ext, filterExt);
    if (ext.empty())
        return {};
    std::string patterns = "*" + ext;
    for (char& c : patterns)
        if (c == ';')
            c = ' ';
    return patterns;
}

std::string CSampleDocTemplate::GetDefaultExtension() const
{
    std::string ext;
    GetDocString(ext, filterExt);
    // The first extension without its dot: ".wav;*.xi" gives "wav".
    const auto semi = ext.find(';');
    if (semi != std::string::npos)
        ext.resize(semi);
    if (!ext.empty() && ext.front() == '.')
        ext.erase(0, 1);
    return ext;
}

std::string CSampleDocTemplate::ApplyDefaultExtension(const std::string& pathName) const
{
    const std::string name = FileNameOf(pathName);
    const std::string ext = GetDefaultExtension();
    if (name.empty() || ext.empty() || name.find('.') != std::string::npos)
        return pathName;
    return pathName + "." + ext;
}

std::string CSampleDocTemplate::ProposeFileName(const std::string& title) const
{
    return ApplyDefaultExtension(title);
}
