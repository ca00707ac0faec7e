// The real-time outputs: without the test panel's offline switch a
// performance plays on SDL's device (the dummy driver here) or on the null
// output, both in real time, so playing state ends when the sound would
// have; switching to offline and back keeps the performance working; looking
// for a device says in one line which output is used. These cases wait on
// the real clock (with generous limits) but measure nothing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "DMusicTestSupport.h"
#include "dmusic/AudioOutput.h"
#include "dmusic/Mixer.h"

using qndx_test::Bytes;

namespace {

// Polls until `done` or the limit passes.
template <class Done>
bool WaitFor(Done done, double seconds = 10.0) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < limit) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

struct RealTime {
    IDirectMusicPerformance8* perf = nullptr;
    IDirectMusicLoader8* loader = nullptr;
    RealTime() {
        qndx::sim::SetAudioOffline(false);
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                         IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&perf)));
        EXPECT_EQ(S_OK, perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 16, 0, nullptr));
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                         reinterpret_cast<void**>(&loader)));
    }
    ~RealTime() {
        loader->Release();
        perf->CloseDown();
        perf->Release();
    }
    IDirectMusicSegment8* Load(const Bytes& bytes) {
        DMUS_OBJECTDESC desc;
        std::memset(&desc, 0, sizeof desc);
        desc.dwSize = QNDX_DMUS_OBJECTDESC_TAG;
        desc.dwValidData = DMUS_OBJ_CLASS | DMUS_OBJ_MEMORY;
        desc.guidClass = CLSID_DirectMusicSegment;
        desc.llMemLength = (LONGLONG)bytes.size();
        desc.pbMemData = const_cast<BYTE*>(bytes.data());
        IDirectMusicSegment8* seg = nullptr;
        EXPECT_EQ(S_OK, loader->GetObject(&desc, IID_IDirectMusicSegment8, reinterpret_cast<void**>(&seg)));
        return seg;
    }
};

}  // namespace

TEST(RealTimeOutput, ASoundStopsPlayingOnceItsTimeHasPassed) {
    RealTime rt;
    // SDL's dummy driver counts as a device; without one the null output runs.
    const std::string output = qndx::sim::AudioOutputName();
    EXPECT_TRUE(output == "sdl" || output == "null") << output;
    IDirectMusicSegment8* seg = rt.Load(qndx_test::ConstantWave(2400));  // 50 ms
    IDirectMusicAudioPath8* path = nullptr;
    ASSERT_EQ(S_OK, rt.perf->GetDefaultAudioPath(&path));
    ASSERT_EQ(S_OK, seg->Download(path));
    ASSERT_EQ(S_OK, rt.perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, path));
    EXPECT_TRUE(WaitFor([&] { return rt.perf->IsPlaying(seg, nullptr) == S_FALSE; }));
    REFERENCE_TIME now = 0;
    ASSERT_EQ(S_OK, rt.perf->GetTime(&now, nullptr));
    EXPECT_GE(now, 500000);  // at least the sound's length went by
    path->Release();
    seg->Release();
}

TEST(RealTimeOutput, SwitchingToOfflineAndBackKeepsThePerformance) {
    RealTime rt;
    IDirectMusicSegment8* seg = rt.Load(qndx_test::ConstantWave(480));
    ASSERT_EQ(S_OK, seg->SetRepeats(DMUS_SEG_REPEAT_INFINITE));
    ASSERT_EQ(S_OK, seg->Download(rt.perf));
    ASSERT_EQ(S_OK, rt.perf->PlaySegmentEx(seg, nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr));
    qndx::sim::SetAudioOffline(true);
    EXPECT_EQ("offline", qndx::sim::AudioOutputName());
    REFERENCE_TIME before = 0, after = 0;
    ASSERT_EQ(S_OK, rt.perf->GetTime(&before, nullptr));
    std::vector<float> mix = qndx::sim::RenderAudio(4800);
    ASSERT_EQ(S_OK, rt.perf->GetTime(&after, nullptr));
    EXPECT_EQ(1000000, after - before);  // exactly what was rendered
    EXPECT_FLOAT_EQ(0.5f, (float)qndx_test::Peak(mix, 0, 0, 4800));
    qndx::sim::SetAudioOffline(false);
    EXPECT_TRUE(qndx::sim::RenderAudio(10).empty());
    EXPECT_TRUE(WaitFor([&] {
        REFERENCE_TIME t = 0;
        rt.perf->GetTime(&t, nullptr);
        return t > after;
    }));
    seg->Release();
}

TEST(RealTimeOutput, TheNullOutputKeepsTime) {
    using namespace qndx::platform::audio;
    Mixer mixer;
    auto output = OpenNullAudioOutput(&mixer, kMixRate);
    EXPECT_STREQ("null", output->Name());
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> guard(mixer.mutex);
        return mixer.frame >= 4800;
    }));
    output.reset();  // stops and joins
    std::lock_guard<std::mutex> guard(mixer.mutex);
    const int64_t stopped = mixer.frame;
    EXPECT_GT(stopped, 0);
}

// With SDL's own choice of driver, on whatever this machine has (no sound
// card at all in CI): one line of the engine's says which output is used,
// the same output opened again says nothing more, and ALSA's complaints do
// not reach standard error. Runs in a child, as SDL picks its driver once a
// process; exits with 0 when all of that held.
void OpenTwiceWithTheDefaultDriver() {
    using namespace qndx::platform::audio;
    unsetenv("SDL_AUDIODRIVER");
    // Standard error goes into a temporary file meanwhile (the death test
    // already captures it, so gtest's own capture is taken).
    std::FILE* capture = std::tmpfile();
    const int saved = dup(2);
    if (!capture || saved < 0) std::exit(2);
    std::fflush(stderr);
    dup2(fileno(capture), 2);
    {
        Mixer mixer;
        OpenAudioOutput(&mixer, kMixRate).reset();
        OpenAudioOutput(&mixer, kMixRate).reset();
    }
    std::fflush(stderr);
    dup2(saved, 2);
    std::string text;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) text += (char)c;
    std::istringstream printed(text);
    int ours = 0;
    int others = 0;
    std::string all;
    std::string line;
    while (std::getline(printed, line)) {
        (line.rfind("dmusic: ", 0) == 0 ? ours : others)++;
        all += line + "\n";
    }
    if (ours != 1 || others != 0) std::fprintf(stderr, "printed:\n%s", all.c_str());
    std::exit(ours == 1 && others == 0 ? 0 : 1);
}

TEST(RealTimeOutput, OneLineSaysWhichOutputIsUsed) {
    EXPECT_EXIT(OpenTwiceWithTheDefaultDriver(), ::testing::ExitedWithCode(0), "");
}
