// The whole program on a real X server. Each case starts its own Xvfb (the
// server picks a free display), runs this test binary again as the program
// (the X11Program body, registered only in that run: the game manager, the
// default state, an 800 x 600 display) with SDL's X11 driver, takes a screenshot of the X display with ImageMagick's `import`
// once the program says it has presented, and checks that the default
// state's text and the statistics overlay are there. Windowed runs use
// desktops of 16 and 32 bits (on X servers of those depths); the full-screen
// run checks that the program presented by flipping. Screenshots are kept
// as PNG files beside the test program, in the build folder, wherever it is
// run from. Skipped, with the reason, when Xvfb or ImageMagick is missing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/display/DemoRun.h"
#include "engine/display/DisplayTestSupport.h"
#include "GraphicEngine/VideoEngine.h"
#include "Util/Window.h"
#include "platform/User.h"
#include "platform/sim/Sim.h"

#include "support/ChildProgram.h"
#include "support/TempDir.h"
#include "support/Xvfb.h"

namespace {

using qndx::test::OnPath;
using qndx::test::Xvfb;

using display_test::CheckDefaultFrame;
using display_test::EndingDefaultState;
using display_test::Picture;

// The program, started as a child process with pipes to its stdin/stdout.
class Program {
public:
    bool Start(const std::string& display, const std::string& mode, int desktopBits, const std::string& dir) {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0) return false;
        std::fflush(stdout);
        std::fflush(stderr);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            setenv("DISPLAY", display.c_str(), 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            unsetenv("WAYLAND_DISPLAY");
            setenv("QNDX_DESKTOP_BPP", std::to_string(desktopBits).c_str(), 1);
            setenv("QNDX_X11_PROGRAM", mode.c_str(), 1);
            setenv("QNDX_X11_DIR", dir.c_str(), 1);
            setenv("LSAN_OPTIONS", ("suppressions=" + dir + "/lsan.supp:print_suppressions=0").c_str(), 1);
            // Leaks inside X11, D-Bus and fontconfig are suppressed by library
            // name, which needs whole stacks through those libraries.
            std::string asan = getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "";
            setenv("ASAN_OPTIONS", (asan + (asan.empty() ? "" : ":") + "fast_unwind_on_malloc=0").c_str(), 1);
            qndx::test::SelectChildProgram("X11Program", "Run");
            const std::string filter = qndx::test::ChildProgramFilter("X11Program", "Run");
            execl("/proc/self/exe", "display_x11_program", filter.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
        return m_pid > 0;
    }
    // Waits for a line starting with `prefix`; false at the end or timeout.
    bool WaitFor(const std::string& prefix, std::string* line, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            size_t nl;
            while ((nl = m_buffer.find('\n')) != std::string::npos) {
                std::string l = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                if (l.rfind(prefix, 0) == 0) {
                    *line = l;
                    return true;
                }
                m_log += l + "\n";
            }
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd p{m_out, POLLIN, 0};
            if (poll(&p, 1, 200) <= 0) continue;
            char buf[256];
            ssize_t n = read(m_out, buf, sizeof buf);
            if (n <= 0) return false;
            m_buffer.append(buf, static_cast<size_t>(n));
        }
    }
    // What the program printed besides the awaited lines.
    const std::string& Log() const { return m_log; }
    void Tell() {
        const char c = 'q';
        if (write(m_in, &c, 1) != 1) {
        }
    }
    // The exit code; -1 when it had to be killed.
    int Wait(int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                m_pid = -1;
                return -1;
            }
            usleep(20000);
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~Program() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_in >= 0) close(m_in);
        if (m_out >= 0) close(m_out);
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
    std::string m_log;
};

// A screenshot of the whole X display, read from a binary PPM.
bool Screenshot(const std::string& display, const std::string& png, Picture* pic, std::vector<uint8_t>* store,
                std::string* why) {
    const std::string ppm = png + ".ppm";
    const std::string take = "import -display " + display + " -window root -depth 8 ppm:" + ppm + " 2>/dev/null";
    if (std::system(take.c_str()) != 0) {
        *why = "import failed";
        return false;
    }
    std::system(("convert ppm:" + ppm + " png:" + png + " 2>/dev/null").c_str());
    std::ifstream in(ppm, std::ios::binary);
    std::string magic;
    int w = 0, h = 0, maxval = 0;
    in >> magic >> w >> h >> maxval;
    in.get();
    if (magic != "P6" || w <= 0 || h <= 0 || maxval != 255) {
        *why = "unexpected screenshot format";
        return false;
    }
    store->resize(static_cast<size_t>(w) * h * 3);
    in.read(reinterpret_cast<char*>(store->data()), static_cast<std::streamsize>(store->size()));
    std::remove(ppm.c_str());
    if (!in) {
        *why = "short screenshot";
        return false;
    }
    pic->width = w;
    pic->height = h;
    const uint8_t* data = store->data();
    pic->rgb = [data, w, h](int x, int y) -> uint32_t {
        if (x < 0 || y < 0 || x >= w || y >= h) return 0xFFFFFF;
        const uint8_t* p = data + (static_cast<size_t>(y) * w + x) * 3;
        return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
    };
    return true;
}

// The leak checker's suppressions for the program under the sanitizer: the
// project's own list plus D-Bus, which SDL's X11 driver uses (screen saver,
// input methods) and whose connection data libdbus keeps until exit.
void WriteLeakSuppressions(const std::string& path) {
    std::ofstream out(path);
    std::ifstream shared(std::string(QNDX_SOURCE_DIR) + "/scripts/lsan.supp");
    out << shared.rdbuf();
}

struct ProgramRun {
    std::string ready;  // "READY x y" with the client area's origin on the screen
    std::string flips;  // "FLIPS n BLTS m"
    Picture pic;
    std::vector<uint8_t> store;
};

// Starts a server and the program, screenshots once it has presented.
void RunProgram(const std::string& mode, int xDepth, int desktopBits, const std::string& png, ProgramRun* run) {
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    if (!OnPath("import") || !OnPath("convert")) GTEST_SKIP() << "ImageMagick (import, convert) is not installed";
    Xvfb server;
    std::string why;
    if (!server.Start(&why, xDepth)) GTEST_SKIP() << "no X server: " << why;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    ASSERT_FALSE(ec) << "the test program's own path: " << ec.message();
    const std::string work = qndx::test::MakeTempDir("qndx-x11");
    ASSERT_FALSE(work.empty());

    WriteLeakSuppressions(work + "/lsan.supp");
    Program program;
    ASSERT_TRUE(program.Start(server.Display(), mode, desktopBits, work));
    ASSERT_TRUE(program.WaitFor("READY", &run->ready, 40)) << "the program never presented:\n" << program.Log();
    // A few more frames reach the server before the picture is taken.
    usleep(300000);
    ASSERT_TRUE(Screenshot(server.Display(), (self.parent_path() / png).string(), &run->pic, &run->store, &why)) << why;
    program.Tell();
    ASSERT_TRUE(program.WaitFor("FLIPS", &run->flips, 30)) << program.Log();
    EXPECT_EQ(0, program.Wait(30)) << "the program must end by itself";
    std::filesystem::remove_all(work, ec);
}

class X11Windowed : public ::testing::TestWithParam<int> {};

TEST_P(X11Windowed, WindowShowsTheDefaultStateAndTheOverlay) {
    const int bits = GetParam();
    ProgramRun run;
    RunProgram("windowed", bits == 16 ? 16 : 24, bits, "display_x11_windowed_" + std::to_string(bits) + ".png",
               &run);
    if (HasFatalFailure() || IsSkipped()) return;
    int x = -1, y = -1;
    ASSERT_EQ(2, std::sscanf(run.ready.c_str(), "READY %d %d", &x, &y)) << run.ready;
    ASSERT_EQ(1024, run.pic.width);
    // The white root window around the black 800 x 600 client area.
    EXPECT_EQ(0xFFFFFFu, run.pic.rgb(x - 3, y + 300)) << "left of the window";
    EXPECT_EQ(0xFFFFFFu, run.pic.rgb(x + 803, y + 300)) << "right of the window";
    EXPECT_EQ("", CheckDefaultFrame(run.pic, x, y, 1.0));
    int flips = -1, blts = -1;
    ASSERT_EQ(2, std::sscanf(run.flips.c_str(), "FLIPS %d BLTS %d", &flips, &blts)) << run.flips;
    EXPECT_EQ(0, flips);
    EXPECT_GT(blts, 0);
}

INSTANTIATE_TEST_SUITE_P(DesktopBits, X11Windowed, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& i) { return "Bpp" + std::to_string(i.param); });

TEST(X11FullScreen, FullScreenPresentsByFlipping) {
    ProgramRun run;
    RunProgram("fullscreen", 24, 32, "display_x11_fullscreen.png", &run);
    if (HasFatalFailure() || IsSkipped()) return;
    int flips = -1, blts = -1;
    ASSERT_EQ(2, std::sscanf(run.flips.c_str(), "FLIPS %d BLTS %d", &flips, &blts)) << run.flips;
    EXPECT_GT(flips, 10);
    EXPECT_EQ(0, blts) << "no windowed blits in full screen";
    // 800 x 600 shown on the whole 1024 x 768 screen.
    EXPECT_EQ("", CheckDefaultFrame(run.pic, 0, 0, 1024.0 / 800.0));
}

// ---- the program ------------------------------------------------------------

// Counts journal entries by prefix and, when given, a part of their text.
int Count(const char* prefix, const char* contains) {
    int n = 0;
    for (const std::string& e : qndx::sim::JournalEntries())
        if (e.rfind(prefix, 0) == 0 && (!contains || e.find(contains) != std::string::npos)) ++n;
    return n;
}

QNDX_CHILD_PROGRAM(X11Program, Run) {
    const char* mode = std::getenv("QNDX_X11_PROGRAM");
    ASSERT_TRUE(mode);
    const char* dir = std::getenv("QNDX_X11_DIR");
    ASSERT_TRUE(dir && chdir(dir) == 0);
    qndx::sim::SetCommandLine("game.exe");
    qndx::sim::EnableJournal(true);
    const bool full = std::strcmp(mode, "fullscreen") == 0;

    CQNDXGameManager* gm = CQNDXGameManager::Create();
    ASSERT_TRUE(gm && gm->GetVideoEngine());
    EndingDefaultState state(3000);  // about 50 s: the parent stops it long before
    state.onFrame = [&state, gm](int frames) {
        if (frames == 30) {
            POINT origin = {0, 0};
            ClientToScreen(gm->GetWindow()->GetHWND(), &origin);
            std::printf("READY %d %d\n", static_cast<int>(origin.x), static_cast<int>(origin.y));
            std::fflush(stdout);
        }
        if (frames > 30) {
            pollfd p{0, POLLIN, 0};
            if (poll(&p, 1, 0) > 0) state.StopAfter(frames);
        }
    };
    gm->AddGameState(&state);
    CQNDXVideoEngine* ve = gm->GetVideoEngine();
    const int result = full ? ve->CreateFullScreen(800, 600, 32, 0, 0) : ve->CreateWindowed(800, 600, 0);
    EXPECT_EQ(0, result);
    std::printf("FLIPS %d BLTS %d\n", Count("IDirectDrawSurface7::Flip", nullptr),
                Count("IDirectDrawSurface7::Blt(", " 0x1000000)"));
    std::fflush(stdout);
}

}  // namespace
