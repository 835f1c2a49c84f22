// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        std::filesystem::path base = std::filesystem::temp_directory_path();
        for (;;) {
            m_path = base / ("setup-test-" + std::to_string(rd()));
            if (std::filesystem::create_directory(m_path)) break;
        }
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Full path of |name| inside the folder, in the platform's own form.
    std::string Path(const std::string& name = "") const {
        return name.empty() ? m_path.string() : (m_path / name).string();
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::filesystem::path p = m_path / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(m_path / name); }
    // Number of entries directly in the folder (or its subfolder |name|).
    size_t Count(const std::string& name = "") const {
        auto entries = std::filesystem::directory_iterator(name.empty() ? m_path : m_path / name);
        return static_cast<size_t>(std::distance(begin(entries), end(entries)));
    }

private:
    std::filesystem::path m_path;
};

// Makes a folder the working directory while it lives; the one before is
// back afterwards.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& dir) : m_saved(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkingDirectory() {
        std::error_code ec;
        std::filesystem::current_path(m_saved, ec);
    }
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::filesystem::path m_saved;
};
