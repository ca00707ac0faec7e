// Command line, module handle and module file name, and process exit.
#include "kernel/CommandLine.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "kernel/Errors.h"
#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "sim/SimInternal.h"

namespace qndx {
namespace platform {
namespace {

std::string ExecutablePath() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
        buf.resize(buf.size() * 2);
    }
}

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.data());
}

// Absolute form of a program path given with a directory part; "." segments
// and doubled separators go, ".." stays (symbolic links make it meaningful).
std::string AbsoluteProgramPath(const char* arg0) {
    std::string joined = arg0[0] == '/' ? std::string(arg0) : CurrentDirectory() + "/" + arg0;
    std::string out;
    size_t i = 0;
    while (i < joined.size()) {
        size_t end = joined.find('/', i);
        if (end == std::string::npos) end = joined.size();
        std::string segment = joined.substr(i, end - i);
        if (!segment.empty() && segment != ".") out += "/" + segment;
        i = end + 1;
    }
    return out.empty() ? std::string("/") : out;
}

std::string ProgramPath(int argc, char** argv) {
    if (argc >= 1 && argv != nullptr && argv[0] != nullptr && std::strchr(argv[0], '/') != nullptr)
        return AbsoluteProgramPath(argv[0]);
    std::string exe = ExecutablePath();
    if (!exe.empty()) return exe;
    return (argc >= 1 && argv != nullptr && argv[0] != nullptr) ? std::string(argv[0]) : std::string();
}

// Quotes an argument so the usual splitting rules give it back unchanged:
// backslashes are literal except before a quote, where they are doubled.
void AppendArgument(std::string& line, const char* arg) {
    if (arg[0] != '\0' && std::strpbrk(arg, " \t\n\v\"") == nullptr) {
        line += arg;
        return;
    }
    line += '"';
    size_t backslashes = 0;
    for (const char* p = arg;; ++p) {
        if (*p == '\\') {
            ++backslashes;
            continue;
        }
        if (*p == '\0') {
            line.append(backslashes * 2, '\\');
            break;
        }
        if (*p == '"') {
            line.append(backslashes * 2 + 1, '\\');
        } else {
            line.append(backslashes, '\\');
        }
        line += *p;
        backslashes = 0;
    }
    line += '"';
}

class CommandLine {
public:
    static CommandLine& Get() {
        static CommandLine* line = [] {
            sim::internal::AddResetHook(&CommandLine::ResetHook);
            return new CommandLine();  // its buffers stay valid to the very end
        }();
        return *line;
    }

    void Record(int argc, char** argv) {
        std::string line = BuildCommandLine(argc, argv);
        std::string path = ProgramPath(argc, argv);
        std::lock_guard<std::mutex> guard(m_lock);
        m_recorded = Keep(line);
        m_modulePath = path;
    }

    void Override(const char* line) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_override = line ? Keep(line) : nullptr;
    }

    char* Current() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_override) return m_override;
        if (!m_recorded) m_recorded = Keep(LineOfThisProcess());
        return m_recorded;
    }

    std::string ModulePath() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_modulePath.empty()) m_modulePath = ExecutablePath();
        return m_modulePath;
    }

private:
    // Tests only: back to the line of the process itself.
    static void ResetHook() {
        CommandLine& c = Get();
        std::lock_guard<std::mutex> guard(c.m_lock);
        c.m_override = nullptr;
        c.m_recorded = nullptr;
        c.m_modulePath.clear();
    }

    // Lines handed out stay valid for the life of the process, as callers
    // may keep the pointer.
    char* Keep(const std::string& line) {
        m_lines.emplace_back(line.begin(), line.end());
        m_lines.back().push_back('\0');
        return m_lines.back().data();
    }

    // Without main() (test programs) the line comes from the process itself.
    static std::string LineOfThisProcess() {
        std::ifstream in("/proc/self/cmdline", std::ios::binary);
        std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> args;
        size_t i = 0;
        while (i < raw.size()) {
            size_t end = raw.find('\0', i);
            if (end == std::string::npos) end = raw.size();
            args.push_back(raw.substr(i, end - i));
            i = end + 1;
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        return BuildCommandLine(static_cast<int>(args.size()), argv.data());
    }

    std::mutex m_lock;
    std::deque<std::vector<char>> m_lines;
    char* m_recorded = nullptr;
    char* m_override = nullptr;
    std::string m_modulePath;
};

// The program's one module; its address is the instance handle.
HINSTANCE__ g_programInstance{};

}  // namespace

std::string BuildCommandLine(int argc, char** argv) {
    std::string line = "\"" + ProgramPath(argc, argv) + "\"";
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        if (argv[i] == nullptr) break;
        line += ' ';
        AppendArgument(line, argv[i]);
    }
    return line;
}

void RecordCommandLine(int argc, char** argv) { CommandLine::Get().Record(argc, argv); }

char* CommandLineArguments() {
    char* p = CommandLine::Get().Current();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

}  // namespace platform

namespace sim {
void SetCommandLine(const char* line) { platform::CommandLine::Get().Override(line); }
}  // namespace sim
}  // namespace qndx

LPSTR GetCommandLineA() { return qndx::platform::CommandLine::Get().Current(); }

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr) return &qndx::platform::g_programInstance;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
    if (hModule != nullptr && hModule != &qndx::platform::g_programInstance) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (lpFilename == nullptr || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path = qndx::platform::CommandLine::Get().ModulePath();
    if (path.size() < nSize) {
        std::memcpy(lpFilename, path.c_str(), path.size() + 1);
        SetLastError(NO_ERROR);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}

void ExitProcess(UINT uExitCode) {
    // std::exit, not _exit: static destructors (the game manager's holder
    // writes the log footer) and stdio flushing must run.
    std::exit(static_cast<int>(uExitCode));
}
