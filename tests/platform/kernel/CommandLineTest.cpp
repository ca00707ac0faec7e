// The recorded command line, its override, the module handle and file name.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/CommandLine.h"
#include "platform/Kernel.h"
#include "platform/sim/Kernel.h"
#include "platform/sim/Sim.h"

using qndx::platform::BuildCommandLine;

namespace {

std::string Build(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return BuildCommandLine(static_cast<int>(args.size()), argv.data());
}

std::string Cwd() {
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

// Splits a line by the rules a Windows program's runtime applies.
std::vector<std::string> Split(const char* line) {
    std::vector<std::string> out;
    const char* p = line;
    while (*p) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        std::string arg;
        bool quoted = false;
        while (*p && (quoted || (*p != ' ' && *p != '\t'))) {
            size_t backslashes = 0;
            while (*p == '\\') {
                ++backslashes;
                ++p;
            }
            if (*p == '"') {
                arg.append(backslashes / 2, '\\');
                if (backslashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++p;
            } else {
                arg.append(backslashes, '\\');
                if (*p && (quoted || (*p != ' ' && *p != '\t'))) arg += *p++;
            }
        }
        out.push_back(arg);
    }
    return out;
}

}  // namespace

TEST(CommandLine, ProgramPathWithABlankIsQuoted) {
    EXPECT_EQ(Build({"/opt/My Game/run.me", "-windowed"}), "\"/opt/My Game/run.me\" -windowed");
    EXPECT_EQ(Build({"/opt/game/ambrixo"}), "\"/opt/game/ambrixo\"");
}

TEST(CommandLine, RelativeProgramPathBecomesAbsolute) {
    std::string cwd = Cwd();
    ASSERT_FALSE(cwd.empty());
    EXPECT_EQ(Build({"./bin/game"}), "\"" + cwd + "/bin/game\"");
    EXPECT_EQ(Build({"sub dir/./game"}), "\"" + cwd + "/sub dir/game\"");
    // ".." is kept: through a symbolic link it is not the same as dropping a segment.
    EXPECT_EQ(Build({"../game"}), "\"" + cwd + "/../game\"");
}

TEST(CommandLine, BareProgramNameUsesTheExecutable) {
    std::string line = Build({"game-found-on-path"});
    ASSERT_GE(line.size(), 3u);
    EXPECT_EQ(line[0], '"');
    EXPECT_EQ(line[1], '/');
    EXPECT_EQ(line.find("game-found-on-path"), std::string::npos);
}

TEST(CommandLine, ArgumentsSplitBackUnchanged) {
    std::vector<std::string> args = {"/p/g", "plain", "two words", "", "tab\there", "say \"hi\"", "back\\slash",
                                     "ends\\", "dir\\\\\"q"};
    std::string line = Build(args);
    std::vector<std::string> back = Split(line.c_str());
    EXPECT_EQ(back, args) << line;
}

TEST(CommandLine, RecordedLineIsWhatGetCommandLineReturns) {
    std::vector<std::string> args = {"/srv/Quendrix Games/ambrixo", "-x", "a b"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    qndx::platform::RecordCommandLine(3, argv.data());
    EXPECT_STREQ(GetCommandLineA(), "\"/srv/Quendrix Games/ambrixo\" -x \"a b\"");
    EXPECT_STREQ(qndx::platform::CommandLineArguments(), "-x \"a b\"");

    char name[512];
    DWORD n = GetModuleFileNameA(nullptr, name, sizeof name);
    EXPECT_STREQ(name, "/srv/Quendrix Games/ambrixo");
    EXPECT_EQ(n, std::strlen(name));
}

TEST(CommandLine, SimOverrideLastsUntilReset) {
    std::string before = GetCommandLineA();
    qndx::sim::SetCommandLine("\"C:\\Games\\My Game\\run.me.exe\" -fullscreen");
    EXPECT_STREQ(GetCommandLineA(), "\"C:\\Games\\My Game\\run.me.exe\" -fullscreen");
    EXPECT_STREQ(qndx::platform::CommandLineArguments(), "-fullscreen");
    qndx::sim::SetCommandLine("game.exe");
    EXPECT_STREQ(GetCommandLineA(), "game.exe");
    EXPECT_STREQ(qndx::platform::CommandLineArguments(), "");
    qndx::sim::Reset();
    EXPECT_EQ(before, GetCommandLineA());
}

TEST(CommandLine, DefaultLineNamesThisProcess) {
    const char* line = GetCommandLineA();
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line[0], '"');
    EXPECT_NE(std::string(line).find("test_platform_kernel"), std::string::npos) << line;
}

TEST(ModuleHandle, NullGivesTheFixedInstanceAndNamesGiveNull) {
    HMODULE a = GetModuleHandleA(nullptr);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, GetModuleHandleA(nullptr));
    EXPECT_EQ(GetModuleHandleA("user32.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(ModuleHandle, FileNameIsTruncatedAndTerminated) {
    char full[4096];
    DWORD len = GetModuleFileNameA(nullptr, full, sizeof full);
    ASSERT_GT(len, 4u);
    EXPECT_EQ(full[0], '/');
    char small[5];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(GetModuleFileNameA(GetModuleHandleA(nullptr), small, sizeof small), 5u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::string(small), std::string(full, 4));
    EXPECT_EQ(GetModuleFileNameA(nullptr, nullptr, 0), 0u);
}
