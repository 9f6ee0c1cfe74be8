#include "document/SampleChoice.h"

#include <cctype>
#include <charconv>
#include <cstdio>

std::string FormatSampleChoicePrompt(int nSampleCount)
{
    char text[128];
    std::snprintf(text, sizeof text,
                  "Selected instrument has %d samples inside. Please select sample number to use.", nSampleCount);
    return text;
}

bool IsValidSampleChoice(int nSample, int nSampleCount)
{
    return nSample >= 1 && nSample <= nSampleCount;
}

std::optional<int> ParseSampleChoice(const std::string& text, int nSampleCount)
{
    auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    // from_chars takes '-' but not '+'.
    if (first != last && *first == '+') {
        ++first;
        if (first == last || !std::isdigit(static_cast<unsigned char>(*first)))
            return std::nullopt;
    }
    int value = 0;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last || first == last)
        return std::nullopt;
    if (!IsValidSampleChoice(value, nSampleCount))
        return std::nullopt;
    return value;
}
