#include "cli/CliJson.h"

#include <cmath>
#include <cstdio>

std::string FormatDouble(double value)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", value);
    return buf;
}

std::string JsonNumber(double value)
{
    return std::isfinite(value) ? FormatDouble(value) : "null";
}

std::string JsonQuote(const std::string& text)
{
    std::string out = "\"";
    for (const char ch : text) {
        const auto u = static_cast<unsigned char>(ch);
        switch (ch) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

void CJsonObject::Key(const std::string& key)
{
    if (!m_strBody.empty())
        m_strBody += ',';
    m_strBody += JsonQuote(key);
    m_strBody += ':';
}

CJsonObject& CJsonObject::AddString(const std::string& key, const std::string& value)
{
    Key(key);
    m_strBody += JsonQuote(value);
    return *this;
}

CJsonObject& CJsonObject::AddInt(const std::string& key, long long value)
{
    Key(key);
    m_strBody += std::to_string(value);
    return *this;
}

CJsonObject& CJsonObject::AddBool(const std::string& key, bool value)
{
    Key(key);
    m_strBody += value ? "true" : "false";
    return *this;
}

CJsonObject& CJsonObject::AddDouble(const std::string& key, double value)
{
    Key(key);
    m_strBody += JsonNumber(value);
    return *this;
}

CJsonObject& CJsonObject::AddNull(const std::string& key)
{
    Key(key);
    m_strBody += "null";
    return *this;
}

CJsonObject& CJsonObject::AddRaw(const std::string& key, const std::string& json)
{
    Key(key);
    m_strBody += json;
    return *this;
}
