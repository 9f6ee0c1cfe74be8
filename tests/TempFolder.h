// A fresh folder of one test's own under the system's temporary folder
// (TMPDIR when set), removed with everything in it when the object goes out
// of scope: also when an assertion ends the test early or an exception
// leaves it. Every test that writes files puts them here, so a run leaves
// the temporary folder as it found it. Throws std::filesystem_error when the
// folder cannot be made.
#pragma once

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <stdlib.h>

class CTempFolder {
public:
    CTempFolder()
    {
        // mkdtemp picks a name no other test process holds.
        std::string pattern = (std::filesystem::temp_directory_path() / "ringseam_test_XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::filesystem::filesystem_error("cannot make a temporary folder", pattern,
                                                    std::error_code(errno, std::generic_category()));
        m_path = pattern;
    }
    ~CTempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    const std::filesystem::path& Path() const { return m_path; }
    // Names of the entries in the folder (hidden ones included), sorted.
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_path;
};
