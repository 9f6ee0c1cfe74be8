// The rule of the Select Sample question, shared by the GUI dialog, the CLI
// and the tests: the prompt shown and which answers are accepted. Pure
// functions, no user interface.
#pragma once

#include <optional>
#include <string>

// Shown, with caption kSampleChoiceErrorCaption and the stop icon, when an
// answer is refused; the question then stays open.
inline constexpr const char* kSampleChoiceError = "Entered value is incorrect.";
inline constexpr const char* kSampleChoiceErrorCaption = "Error";
// Caption of the question itself.
inline constexpr const char* kSampleChoiceCaption = "Select Sample";
// What the answer field holds when the question opens.
inline constexpr int kSampleChoiceDefault = 1;

// "Selected instrument has N samples inside. Please select sample number to use."
std::string FormatSampleChoicePrompt(int nSampleCount);

// Whether nSample (1-based) names one of nSampleCount offered samples.
bool IsValidSampleChoice(int nSample, int nSampleCount);

// The typed answer as a sample number (1-based), or nullopt when it is not a
// decimal integer (an optional sign, digits, surrounding blanks allowed, within
// int range) or lies outside 1 … nSampleCount.
std::optional<int> ParseSampleChoice(const std::string& text, int nSampleCount);
