// A document with a headless user interface that collects messages, and a
// private temporary folder for tests that go through files on disk.
#pragma once

#include "TempFolder.h"
#include "WavTestSupport.h"
#include "document/QuorvelDoc.h"
#include "framework/UserInterface.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class CCollectingUserInterface : public CHeadlessUserInterface {
public:
    void ShowMessage(const std::string& text, const std::string&, MessageIcon) override
    {
        m_messages.push_back(text);
    }
    std::vector<std::string> m_messages;
};

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_doc.SetUserInterface(&m_ui);
        m_doc.OnNewDocument();
    }

    std::string Put(const std::string& name, const Bytes& bytes)
    {
        const auto p = m_dir / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 std::streamsize(bytes.size()));
        return p.string();
    }
    static Bytes Get(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Names in the folder, to see that no temporary file was left behind.
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    CTempFolder m_dir;
    CCollectingUserInterface m_ui;
    CQuorvelDoc m_doc;
};
