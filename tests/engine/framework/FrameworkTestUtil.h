// Helpers shared by the framework tests: scratch directories, whole-file
// reads, and checks that work inside a forked child (where a failed check
// must end the child with a non-zero status and say why on stderr).
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qndx_test {

// A fresh directory under the system's temporary directory, removed (with
// what it holds) when the object goes.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/qndx-fw-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        char* made = mkdtemp(buf.data());
        if (made) m_path = made;
    }
    ~ScratchDir() {
        if (!m_path.empty()) RemoveTree(m_path);
    }
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

    static void RemoveTree(const std::string& path) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
                const std::string child = path + "/" + e->d_name;
                struct stat st;
                if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                    RemoveTree(child);
                else
                    unlink(child.c_str());
            }
            closedir(d);
        }
        rmdir(path.c_str());
    }

private:
    std::string m_path;
};

inline bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

inline bool DirExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

inline std::string CurrentDir() {
    char buf[4096];
    return getcwd(buf, sizeof(buf)) ? std::string(buf) : std::string();
}

}  // namespace qndx_test

// Runs the statements in a forked child; the child must reach the end to pass.
#define QNDX_IN_CHILD(...)                                                                   \
    do {                                                                                     \
        auto qndx_child_body = [&]() { __VA_ARGS__; };                                       \
        EXPECT_EXIT(                                                                         \
            {                                                                                \
                qndx_child_body();                                                           \
                std::exit(0);                                                                \
            },                                                                               \
            ::testing::ExitedWithCode(0), "");                                               \
    } while (0)

// For code that runs in a forked child: report and leave with status 1.
#define QNDX_CHILD_CHECK(cond)                                                                 \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);      \
            std::fflush(stderr);                                                               \
            std::_Exit(1);                                                                     \
        }                                                                                      \
    } while (0)

#define QNDX_CHILD_CHECK_EQ_STR(actual, expected)                                              \
    do {                                                                                       \
        const std::string qndx_a = (actual) ? std::string(actual) : std::string("<none>");     \
        const std::string qndx_e = (expected);                                                 \
        if (qndx_a != qndx_e) {                                                                \
            std::fprintf(stderr, "%s:%d: %s is \"%s\", expected \"%s\"\n", __FILE__, __LINE__, \
                         #actual, qndx_a.c_str(), qndx_e.c_str());                             \
            std::fflush(stderr);                                                               \
            std::_Exit(1);                                                                     \
        }                                                                                      \
    } while (0)
