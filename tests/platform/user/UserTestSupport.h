// Helpers shared by the window-side tests: a window class whose procedure
// records every message it receives, and small lookups over that record.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/User.h"

namespace usertest {

struct Received {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

// What the recording procedure saw, and an optional hook that answers a
// message instead of DefWindowProcA (return true to use *result).
struct Recorder {
    std::vector<Received> log;
    std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> answer;

    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Received& r : log) out.push_back(r.msg);
        return out;
    }
    std::vector<Received> Of(UINT msg) const {
        std::vector<Received> out;
        for (const Received& r : log)
            if (r.msg == msg) out.push_back(r);
        return out;
    }
    void Clear() { log.clear(); }
};

inline Recorder& Rec() {
    static Recorder recorder;
    return recorder;
}

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Rec().log.push_back(Received{hwnd, msg, wParam, lParam});
    LRESULT result = 0;
    if (Rec().answer && Rec().answer(hwnd, msg, wParam, lParam, &result)) return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

inline ATOM RegisterRecordingClass(const char* name = "QNDX_TEST_CLASS") {
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = RecordingProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.lpszClassName = name;
    return RegisterClassExA(&wc);
}

inline HWND MakeWindow(DWORD style = WS_OVERLAPPEDWINDOW, int x = 10, int y = 20, int w = 640, int h = 480,
                       DWORD exStyle = 0, LPVOID param = nullptr, const char* cls = "QNDX_TEST_CLASS") {
    return CreateWindowExA(exStyle, cls, "test", style, x, y, w, h, nullptr, nullptr, nullptr, param);
}

// Drains the queue, dispatching every message, until it is empty (at most n).
inline int PumpAll(int n = 100) {
    MSG msg;
    int taken = 0;
    while (taken < n && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++taken;
        if (msg.message == WM_QUIT) break;
        DispatchMessageA(&msg);
    }
    return taken;
}

// Fixture: registers the recording class and clears the record.
class UserTest : public ::testing::Test {
protected:
    void SetUp() override {
        Rec().Clear();
        Rec().answer = nullptr;
        ASSERT_NE(RegisterRecordingClass(), 0);
    }
    void TearDown() override {
        Rec().Clear();
        Rec().answer = nullptr;
    }
};

}  // namespace usertest
