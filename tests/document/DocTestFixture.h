// A document with a headless user interface that collects messages, and a
// private temporary folder for tests that go through files on disk.
#pragma once

#include "WavTestSupport.h"
#include "document/QuorvelDoc.h"
#include "framework/UserInterface.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
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
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                ("ringseam_doc_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        m_doc.SetUserInterface(&m_ui);
        m_doc.OnNewDocument();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

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
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path m_dir;
    CCollectingUserInterface m_ui;
    CQuorvelDoc m_doc;
};
