// Reads the manifest of the real recordings (manifest.tsv: tab-separated,
// the first line names the columns, then one line a file with the loop its
// maker stored). Header-only, for the benchmarks that compare with the
// makers' loops.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// One line of the manifest: column name to cell ("" for none).
using CManifestRow = std::map<std::string, std::string>;

// Every line after the first, in file order; cells beyond the named columns
// are dropped. Empty when the file cannot be read.
inline std::vector<CManifestRow> ReadManifestRows(const std::filesystem::path& file)
{
    std::vector<CManifestRow> rows;
    std::ifstream in(file);
    std::string line;
    std::vector<std::string> header;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t'))
            cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        CManifestRow row;
        for (std::size_t i = 0; i < cells.size() && i < header.size(); ++i)
            row[header[i]] = cells[i];
        rows.push_back(std::move(row));
    }
    return rows;
}
