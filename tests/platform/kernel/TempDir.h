// A scratch directory per test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qndx-kernel-XXXXXX").string();
        char* made = mkdtemp(&pattern[0]);
        if (made) m_path = made;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return !m_path.empty(); }
    // Host path of a name inside the directory.
    std::string Host(const std::string& name) const { return m_path + "/" + name; }
    // The same path written the engine's way, with backslashes.
    std::string Engine(const std::string& name) const {
        std::string p = Host(name);
        for (char& c : p)
            if (c == '/') c = '\\';
        return p;
    }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(Host(name), std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Host(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};
