// What a whole program run shows: the default state's message and the
// statistics overlay in an 800 x 600 display. Shared by the headless loop
// tests (which read the primary surface) and the X server tests (which read
// a screenshot): both check a picture through the same rules.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "DefaultGameState.h"
#include "GameManager.h"

namespace display_test {

// The built-in default state, unchanged, except that it ends the program by
// itself after `frames` frames, or when `keepGoing` says so.
class EndingDefaultState : public CQNDXDefaultGameState {
public:
    explicit EndingDefaultState(int frames) : m_frames(frames) {}
    int Render() override {
        const int r = CQNDXDefaultGameState::Render();
        ++m_done;
        if (onFrame) onFrame(m_done);
        if (m_done >= m_frames)
            if (CQNDXGameManager* gm = CQNDXGameManager::GetInstance()) gm->Quit(0);
        return r;
    }
    int Frames() const { return m_done; }
    void StopAfter(int frames) { m_frames = frames; }
    // Called after each frame's drawing with the number of frames so far.
    std::function<void(int)> onFrame;

private:
    int m_frames;
    int m_done = 0;
};

// A picture to check: its size and its pixels as 0xRRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::function<uint32_t(int, int)> rgb;
};

inline bool Bright(uint32_t c) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r + g + b > 3 * 128;
}

inline bool Dark(uint32_t c) {
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return r < 40 && g < 40 && b < 40;
}

// Checks an 800 x 600 frame of the default state that lies at (left, top) of
// the picture, scaled by `scale` (1 at 1:1). Empty on success, else why not.
inline std::string CheckDefaultFrame(const Picture& pic, int left, int top, double scale) {
    auto at = [&](int x, int y) {
        return pic.rgb(left + static_cast<int>(x * scale), top + static_cast<int>(y * scale));
    };
    auto count = [&](int x0, int y0, int x1, int y1, bool (*test)(uint32_t)) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += test(at(x, y)) ? 1 : 0;
        return n;
    };
    char why[160];
    // "You must implement a new CQNDXGameState" at (280, 220).
    const int message = count(280, 220, 560, 236, Bright);
    if (message < 150) {
        std::snprintf(why, sizeof why, "the default state's text is missing (%d lit pixels at 280,220)", message);
        return why;
    }
    if (count(0, 220, 270, 236, Bright) != 0) return "lit pixels left of the message";
    // The overlay's lines from (9, 2) down to the frames line at 72.
    for (int line = 0; line < 8; ++line) {
        if (line == 6) continue;  // "Sur: ..." is short but present
        const int lit = count(9, 2 + 10 * line, 160, 12 + 10 * line, Bright);
        if (lit < 20) {
            std::snprintf(why, sizeof why, "overlay line %d is missing (%d lit pixels)", line, lit);
            return why;
        }
    }
    // The rest is the cleared background: below the message, away from the
    // cursor in the middle.
    const int stray = count(0, 250, 800, 290, Bright) + count(0, 345, 800, 600, Bright) + count(300, 100, 800, 215, Bright);
    if (stray != 0) {
        std::snprintf(why, sizeof why, "%d lit pixels where the background should be", stray);
        return why;
    }
    if (count(0, 250, 800, 290, Dark) != 800 * 40) return "the background is not black";
    return std::string();
}

}  // namespace display_test
