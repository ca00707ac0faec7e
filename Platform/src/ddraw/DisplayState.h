// The display as the layer knows it: desktop, current mode, mode and driver
// lists, video-memory budget, the exclusive owner and the live surfaces.
// One object, reached through DisplayState::Get(), reset by the sim panel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ddraw/SurfaceImpl.h"
#include "platform/DirectDraw.h"

namespace qndx {
namespace platform {

struct ModeEntry {
    DWORD width;
    DWORD height;
    DWORD bitsPerPixel;  // 8, 15, 16, 24, 32
    DWORD refreshRate;
};

struct DriverEntry {
    bool primary = false;
    GUID guid = {};
    std::string description;
    std::string name;
    HMONITOR monitor = nullptr;
    int kind = 0;  // qndx::sim::SimDisplayDriver::Kind for extra drivers
    HRESULT createResult = DD_OK;
    HRESULT capsResult = DD_OK;
};

class DisplayState {
public:
    static DisplayState& Get();
    void ResetToDefaults();

    DWORD desktopWidth = 1024;
    DWORD desktopHeight = 768;
    DWORD desktopBits = 32;
    ModeEntry current = {1024, 768, 32, 60};  // the desktop unless a mode is set

    std::vector<ModeEntry> modes;
    std::vector<DriverEntry> drivers;  // the primary first

    uint64_t budget = 64u << 20;
    uint64_t used = 0;
    DWORD pitchAlign = 4;

    DirectDrawImpl* exclusiveOwner = nullptr;
    HWND exclusiveWindow = nullptr;
    std::vector<SurfaceImpl*> surfaces;           // in creation order
    std::vector<SurfaceImpl*> surfacesByAddress;  // the same, sorted: every blit looks its source up
    SurfaceImpl* lastFound = nullptr;             // the last surface looked up, while it lives

    Presenter* presenter = nullptr;

    void NotifyModeChanged();

private:
    DisplayState();
};

// The pixel format of a display depth (15 = 16-bit 5-5-5).
DDPIXELFORMAT FormatForBits(DWORD bitsPerPixel);
// The layout of a supported format; None for anything else.
pixels::Kind KindOfFormat(const DDPIXELFORMAT& format);
std::vector<ModeEntry> DefaultModes();

// A value as the call journal shows it: 0x and upper-case hex digits.
std::string Hex(DWORD v);

// Accepts a record's version tag or its size on this machine.
inline bool SizeTagOk(DWORD size, DWORD tag, size_t actual) { return size == tag || size == actual; }

}  // namespace platform
}  // namespace qndx
