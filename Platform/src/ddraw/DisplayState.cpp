// The display state behind DirectDraw and the screen DC, and the display
// part of the sim panel that sets it.
#include "ddraw/DisplayState.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ddraw/DirectDrawImpl.h"
#include "pixels/Pixels.h"
#include "platform/sim/Display.h"
#include "platform/sim/Window.h"
#include "sim/SimInternal.h"
#include "user/WindowQueries.h"

namespace qndx {
namespace platform {

namespace {

DWORD DesktopBitsFromEnvironment() {
    const char* value = std::getenv("QNDX_DESKTOP_BPP");
    if (!value || !*value) return 32;
    long bits = std::strtol(value, nullptr, 10);
    if (bits == 15 || bits == 16 || bits == 24 || bits == 32) return static_cast<DWORD>(bits);
    std::fprintf(stderr, "QNDX_DESKTOP_BPP=%s is not 15, 16, 24 or 32; using 32\n", value);
    return 32;
}

void ResetHook() {
    // Clear the window side's desktop overrides first: reset hooks run in no
    // fixed order, and the desktop size is read from there.
    sim::SetDesktopSize(0, 0);
    SetDisplayModeSize(0, 0);
    DisplayState::Get().ResetToDefaults();
}

}  // namespace

DisplayState& DisplayState::Get() {
    // Outlives static destructors: surfaces released at exit still find it.
    static DisplayState* state = new DisplayState();
    return *state;
}

DisplayState::DisplayState() {
    ResetToDefaults();
    sim::internal::AddResetHook(&ResetHook);
}

void DisplayState::ResetToDefaults() {
    // One desktop for windows and DirectDraw: the windowed primary covers the
    // screen the window manager places windows on.
    SIZE desk = DesktopSize();
    desktopWidth = desk.cx > 0 ? static_cast<DWORD>(desk.cx) : 1024;
    desktopHeight = desk.cy > 0 ? static_cast<DWORD>(desk.cy) : 768;
    desktopBits = DesktopBitsFromEnvironment();
    current = {desktopWidth, desktopHeight, desktopBits, 60};
    modes = DefaultModes();
    drivers.clear();
    DriverEntry primaryDriver;
    primaryDriver.primary = true;
    primaryDriver.description = "Primary Display Driver";
    primaryDriver.name = "display";
    drivers.push_back(primaryDriver);
    budget = 64u << 20;
    pitchAlign = 4;
    // `used`, the exclusive owner and the live surfaces belong to objects
    // that still exist; they change only as those objects change.
}

void DisplayState::NotifyModeChanged() {
    if (presenter) presenter->DisplayModeChanged(CurrentDisplayModeInfo());
}

std::vector<ModeEntry> DefaultModes() {
    std::vector<ModeEntry> list;
    // What a driver typically reports, low-resolution and 8-bit modes included.
    list.push_back({320, 240, 8, 60});
    list.push_back({320, 240, 16, 60});
    const DWORD sizes[][2] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
    const DWORD depths[] = {8, 16, 32};
    const DWORD rates[] = {60, 75, 85};
    for (auto& size : sizes)
        for (DWORD bits : depths)
            for (DWORD rate : rates) list.push_back({size[0], size[1], bits, rate});
    return list;
}

std::string Hex(DWORD v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

DDPIXELFORMAT FormatForBits(DWORD bits) {
    DDPIXELFORMAT f = {};
    f.dwSize = QNDX_DDPIXELFORMAT_TAG;
    DWORD r = 0, g = 0, b = 0;
    switch (bits) {
        case 8: break;
        case 15: r = 0x7C00, g = 0x03E0, b = 0x001F; break;
        case 16: r = 0xF800, g = 0x07E0, b = 0x001F; break;
        case 24:
        case 32: r = 0xFF0000, g = 0x00FF00, b = 0x0000FF; break;
        default: return f;
    }
    f.dwFlags = bits == 8 ? DDPF_RGB | DDPF_PALETTEINDEXED8 : DDPF_RGB;
    f.dwRGBBitCount = bits == 15 ? 16 : bits;
    f.dwRBitMask = r;
    f.dwGBitMask = g;
    f.dwBBitMask = b;
    return f;
}

pixels::Kind KindOfFormat(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_PALETTEINDEXED8) return f.dwRGBBitCount == 8 ? pixels::kIndexed8 : pixels::kNone;
    if (!(f.dwFlags & DDPF_RGB) || (f.dwFlags & (DDPF_FOURCC | DDPF_ALPHAPIXELS | DDPF_ALPHA))) return pixels::kNone;
    if (f.dwRGBBitCount == 16) {
        if (f.dwRBitMask == 0x7C00 && f.dwGBitMask == 0x03E0 && f.dwBBitMask == 0x001F) return pixels::kRgb555;
        if (f.dwRBitMask == 0xF800 && f.dwGBitMask == 0x07E0 && f.dwBBitMask == 0x001F) return pixels::kRgb565;
        return pixels::kNone;
    }
    if (f.dwRBitMask != 0xFF0000 || f.dwGBitMask != 0x00FF00 || f.dwBBitMask != 0x0000FF) return pixels::kNone;
    if (f.dwRGBBitCount == 24) return pixels::kRgb888;
    if (f.dwRGBBitCount == 32) return pixels::kXrgb8888;
    return pixels::kNone;
}

void SetPresenter(Presenter* presenter) {
    Presenter*& current = DisplayState::Get().presenter;
    if (current && current != presenter) current->GiveBack(nullptr);
    current = presenter;
}

namespace {

// Tests' listening presenter; never destroyed.
struct Listener : Presenter {
    PrimaryWriteHook write = nullptr;
    DisplayModeHook mode = nullptr;
    void PrimaryWritten(SurfaceImpl* primary, const RECT* dirty) override { if (write) write(primary, dirty); }
    void DisplayModeChanged(const DisplayModeInfo& info) override { if (mode) mode(info); }
};
Listener& Listening() {
    static Listener* listener = new Listener();
    return *listener;
}
void Listen(Listener& l) { SetPresenter(l.write || l.mode ? &l : nullptr); }

}  // namespace

void SetPrimaryWriteHook(PrimaryWriteHook hook) {
    Listening().write = hook;
    Listen(Listening());
}
void SetDisplayModeHook(DisplayModeHook hook) {
    Listening().mode = hook;
    Listen(Listening());
}

DisplayModeInfo CurrentDisplayModeInfo() {
    DisplayState& s = DisplayState::Get();
    DisplayModeInfo info;
    info.width = s.current.width;
    info.height = s.current.height;
    info.bitsPerPixel = s.current.bitsPerPixel;
    info.refreshRate = s.current.refreshRate;
    info.exclusive = s.exclusiveOwner != nullptr;
    info.window = s.exclusiveWindow;
    return info;
}

}  // namespace platform

namespace sim {

using platform::DisplayState;

void SetDesktop(DWORD width, DWORD height, DWORD bitsPerPixel) {
    DisplayState& s = DisplayState::Get();
    if (width == 0 || height == 0 || width > 32768 || height > 32768 ||
        !(bitsPerPixel == 8 || bitsPerPixel == 15 || bitsPerPixel == 16 || bitsPerPixel == 24 ||
          bitsPerPixel == 32)) {
        std::fprintf(stderr, "sim::SetDesktop: %ux%u at %u bits is not a desktop\n", width, height, bitsPerPixel);
        return;
    }
    bool showingDesktop = s.current.width == s.desktopWidth && s.current.height == s.desktopHeight &&
                          s.current.bitsPerPixel == s.desktopBits && s.exclusiveOwner == nullptr;
    s.desktopWidth = width;
    s.desktopHeight = height;
    s.desktopBits = bitsPerPixel;
    SetDesktopSize(static_cast<int>(width), static_cast<int>(height));
    if (showingDesktop) s.current = {width, height, bitsPerPixel, s.current.refreshRate};
}

void SetDisplayModes(const std::vector<SimDisplayMode>& modes) {
    DisplayState& s = DisplayState::Get();
    s.modes.clear();
    for (const SimDisplayMode& m : modes) s.modes.push_back({m.width, m.height, m.bitsPerPixel, m.refreshRate});
}

std::vector<SimDisplayMode> DefaultDisplayModes() {
    std::vector<SimDisplayMode> out;
    for (const platform::ModeEntry& m : platform::DefaultModes())
        out.push_back({m.width, m.height, m.bitsPerPixel, m.refreshRate});
    return out;
}

void AddDisplayDriver(const SimDisplayDriver& driver) {
    platform::DriverEntry e;
    e.guid = driver.guid;
    e.description = driver.description;
    e.name = driver.name;
    e.monitor = driver.monitor;
    e.kind = driver.kind;
    e.createResult = driver.createResult;
    e.capsResult = driver.capsResult;
    DisplayState::Get().drivers.push_back(e);
}

// The pixel library's level is the program's one switch; Reset() puts it
// back to what the environment asks.
void SetBlitFastPaths(bool on) {
    pixels::SetSimd(on ? pixels::BestSimd() : pixels::Simd::None);
}
bool BlitFastPaths() { return pixels::ActiveSimd() != pixels::Simd::None; }
void SetKeySpansForAllSizes(bool on) { pixels::SetSpansForAllSizes(on); }

bool SetPixelSimd(const char* level) {
    pixels::Simd simd;
    if (!pixels::ParseSimd(level, &simd)) {
        std::fprintf(stderr, "sim::SetPixelSimd: %s is none of none, sse2, avx2, avx512\n", level ? level : "(null)");
        return false;
    }
    pixels::SetSimd(simd);
    return pixels::ActiveSimd() == simd;
}
const char* PixelSimd() { return pixels::SimdName(pixels::ActiveSimd()); }

void SetVideoMemoryBudget(DWORD bytes) { DisplayState::Get().budget = bytes; }
DWORD VideoMemoryBudget() { return static_cast<DWORD>(DisplayState::Get().budget); }
DWORD VideoMemoryUsed() { return static_cast<DWORD>(DisplayState::Get().used); }

void SetPitchAlignment(DWORD bytes) {
    if (bytes < 4 || bytes > 4096 || (bytes & (bytes - 1)) != 0) {
        std::fprintf(stderr, "sim::SetPitchAlignment: %u is not a power of two from 4 to 4096\n", bytes);
        return;
    }
    DisplayState::Get().pitchAlign = bytes;
}

bool MarkSurfaceLost(IDirectDrawSurface7* surface) {
    platform::SurfaceImpl* s = platform::SurfaceImpl::FromInterface(surface);
    if (!s) return false;
    s->MarkLost();
    return true;
}

void LoseVideoMemorySurfaces() {
    for (platform::SurfaceImpl* s : DisplayState::Get().surfaces)
        if (s->IsPrimary() || s->InVideoMemory()) s->MarkLost();
}

int LiveSurfaceCount() { return static_cast<int>(DisplayState::Get().surfaces.size()); }

SimDisplayMode CurrentDisplayMode() {
    const platform::ModeEntry& m = DisplayState::Get().current;
    return {m.width, m.height, m.bitsPerPixel, m.refreshRate};
}

bool ExclusiveModeHeld() { return DisplayState::Get().exclusiveOwner != nullptr; }

}  // namespace sim
}  // namespace qndx
