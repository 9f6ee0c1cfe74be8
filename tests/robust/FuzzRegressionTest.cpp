// Inputs the fuzzers found (and a few written by hand), kept in inputs/ and
// run through the same checks as the fuzz harnesses: each must now be loaded
// or refused cleanly, and go through the whole pipeline with every invariant
// holding.
#include "FuzzTargets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> InputNames()
{
    std::vector<std::string> names;
    if (fs::is_directory(RINGSEAM_ROBUST_INPUTS))
        for (const auto& entry : fs::directory_iterator(RINGSEAM_ROBUST_INPUTS))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    if (names.empty())
        names.push_back("");  // keeps the suite instantiated
    return names;
}

std::vector<std::uint8_t> ReadInput(const std::string& name)
{
    std::ifstream in(fs::path(RINGSEAM_ROBUST_INPUTS) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class FuzzFinding : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(FuzzFinding, LoadsOrIsRefusedCleanly)
{
    if (GetParam().empty())
        GTEST_SKIP() << "no inputs";
    const auto bytes = ReadInput(GetParam());
    EXPECT_EQ(FuzzTargets::RunLoad(bytes.data(), bytes.size()), "");
}

TEST_P(FuzzFinding, GoesThroughThePipeline)
{
    if (GetParam().empty())
        GTEST_SKIP() << "no inputs";
    const auto bytes = ReadInput(GetParam());
    EXPECT_EQ(FuzzTargets::RunPipeline(bytes.data(), bytes.size()), "");
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzFinding, ::testing::ValuesIn(InputNames()), [](const auto& p) {
    std::string name = p.param.empty() ? "none" : p.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});
