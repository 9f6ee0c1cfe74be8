// Building the one-line JSON objects and the numbers that ringseam-cli
// prints. Strings are escaped for JSON (bytes ≥ 0x80 pass through, so UTF-8
// paths stay readable); numbers that are not finite become null.
#pragma once

#include <string>

// %.17g: enough digits to read the same double back.
std::string FormatDouble(double value);
// A JSON number (%.17g), or null when the value is not finite.
std::string JsonNumber(double value);
// The string as a quoted JSON string.
std::string JsonQuote(const std::string& text);

// One JSON object, keys in the order added.
class CJsonObject {
public:
    CJsonObject& AddString(const std::string& key, const std::string& value);
    CJsonObject& AddInt(const std::string& key, long long value);
    CJsonObject& AddBool(const std::string& key, bool value);
    CJsonObject& AddDouble(const std::string& key, double value);
    CJsonObject& AddNull(const std::string& key);
    // `json` must already be valid JSON (an array or object built elsewhere).
    CJsonObject& AddRaw(const std::string& key, const std::string& json);
    std::string Str() const { return "{" + m_strBody + "}"; }

private:
    void Key(const std::string& key);
    std::string m_strBody;
};
