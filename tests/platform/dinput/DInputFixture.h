// Shared set-up for the DirectInput stand-in's tests: the interface object,
// devices made ready to read, a shown window that counts as foreground, and
// reading every waiting record.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/DirectInput.h"
#include "platform/Kernel.h"
#include "platform/User.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Input.h"
#include "platform/sim/Sim.h"

class DInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        qndx::sim::EnableFakeClock(true);
        ASSERT_EQ(DI_OK, DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                            reinterpret_cast<LPVOID*>(&di), nullptr));
    }

    void TearDown() override {
        for (IDirectInputDevice8A* d : devices) d->Release();
        devices.clear();
        if (di) di->Release();
        di = nullptr;
    }

    // A shown top-level window: the layer's foreground window.
    HWND MakeWindow(const char* className = "DInputTestWindow") {
        WNDCLASSEXA wc{};
        wc.cbSize = 48;
        wc.lpfnWndProc = &DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        RegisterClassExA(&wc);
        HWND hwnd = CreateWindowExA(0, className, "input test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(nullptr, hwnd);
        ShowWindow(hwnd, SW_SHOW);
        return hwnd;
    }

    // Created, formatted, levelled, buffered and acquired.
    IDirectInputDevice8A* Ready(REFGUID guid, const DIDATAFORMAT* format, HWND hwnd, DWORD level, DWORD buffer = 16) {
        IDirectInputDevice8A* d = nullptr;
        EXPECT_EQ(DI_OK, di->CreateDevice(guid, &d, nullptr));
        if (!d) return nullptr;
        devices.push_back(d);
        EXPECT_EQ(DI_OK, d->SetDataFormat(format));
        EXPECT_EQ(DI_OK, d->SetCooperativeLevel(hwnd, level));
        EXPECT_EQ(DI_OK, SetBufferSize(d, buffer));
        EXPECT_EQ(DI_OK, d->Acquire());
        return d;
    }

    static HRESULT SetBufferSize(IDirectInputDevice8A* d, DWORD size) {
        DIPROPDWORD p{};
        p.diph.dwSize = sizeof(DIPROPDWORD);
        p.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        p.diph.dwHow = DIPH_DEVICE;
        p.dwData = size;
        return d->SetProperty(DIPROP_BUFFERSIZE, &p.diph);
    }

    // Reads up to `room` records; the result code goes to *hr.
    static std::vector<DIDEVICEOBJECTDATA> Read(IDirectInputDevice8A* d, HRESULT* hr, DWORD room = 256) {
        std::vector<DIDEVICEOBJECTDATA> records(room);
        DWORD n = room;
        *hr = d->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records.data(), &n, 0);
        records.resize(SUCCEEDED(*hr) ? n : 0);
        return records;
    }

    IDirectInput8A* di = nullptr;
    std::vector<IDirectInputDevice8A*> devices;
};
