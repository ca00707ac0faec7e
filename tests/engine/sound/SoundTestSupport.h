// Helpers for the sound engine tests. The game manager and the sound engine
// are process singletons, so each scenario runs in a forked child: it works
// in a scratch directory that holds the program (so the sound directory is
// <dir>/sounds), renders audio offline, checks its own results and exits 0.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GameManager.h"
#include "SoundEngine/SoundEngine.h"
#include "platform/sim/Audio.h"
#include "platform/sim/Kernel.h"
#include "support/ChildProgram.h"
#include "support/TempDir.h"

namespace qndx_sound_test {

using Bytes = std::vector<uint8_t>;

// In the child: the program lives in `dir`; the manager starts there with
// offline audio. Returns the manager.
inline CQNDXGameManager* StartManager(const std::string& dir) {
    QNDX_CHILD_CHECK(!dir.empty());
    qndx::sim::SetAudioOffline(true);
    const std::string line = "\"" + dir + "/game.exe\"";
    qndx::sim::SetCommandLine(line.c_str());
    CQNDXGameManager* gm = CQNDXGameManager::Create();
    QNDX_CHILD_CHECK(gm != nullptr);
    return gm;
}

// The manager and an initialised sound engine.
inline CQNDXSoundEngine* StartSound(const std::string& dir) {
    CQNDXGameManager* gm = StartManager(dir);
    CQNDXSoundEngine* engine = gm->GetSoundEngine(64);
    QNDX_CHILD_CHECK(engine != nullptr);
    return engine;
}

inline void Put16(Bytes* b, uint32_t v) {
    b->push_back((uint8_t)v);
    b->push_back((uint8_t)(v >> 8));
}
inline void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A constant 16-bit mono wave at the mix rate: 16384 is exactly 0.5.
inline Bytes ConstantWave(size_t frames, int value = 16384) {
    Bytes b{'R', 'I', 'F', 'F'};
    Put32(&b, (uint32_t)(36 + 2 * frames));
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(&b, 16);
    Put16(&b, 1);
    Put16(&b, 1);
    Put32(&b, 48000);
    Put32(&b, 96000);
    Put16(&b, 2);
    Put16(&b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(&b, (uint32_t)(2 * frames));
    for (size_t i = 0; i < frames; ++i) Put16(&b, (uint32_t)(int16_t)value);
    return b;
}

// One piano note of half a second, format 0.
inline Bytes OneNoteMidi() {
    return Bytes{'M', 'T', 'h', 'd', 0,  0,    0,    6,  0,   0,    0,    1,  0, 96,   'M',  'T',  'r',
                 'k', 0,   0,   0,   12, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

inline std::vector<float> Render(size_t frames) { return qndx::sim::RenderAudio(frames); }

inline double Peak(const std::vector<float>& mix, int channel, size_t from, size_t to) {
    double peak = 0;
    for (size_t f = from; f < to && 2 * f + 1 < mix.size(); ++f)
        peak = std::max(peak, (double)std::fabs(mix[2 * f + channel]));
    return peak;
}

// The first frame from which both channels stay silent.
inline size_t SoundEnd(const std::vector<float>& mix) {
    size_t end = 0;
    for (size_t f = 0; 2 * f + 1 < mix.size(); ++f)
        if (mix[2 * f] != 0.0f || mix[2 * f + 1] != 0.0f) end = f + 1;
    return end;
}

}  // namespace qndx_sound_test
