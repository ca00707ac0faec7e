// The DirectDraw objects and entry points: creation per driver, driver
// enumeration, capabilities and the video-memory figures, cooperative
// levels, display modes, surface/clipper/palette creation, vertical blank.
#include "ddraw/DirectDrawImpl.h"

#include <cstring>
#include <string>
#include <vector>

#include "ddraw/PrimaryPresent.h"
#include "platform/Kernel.h"
#include "sim/SimInternal.h"

const IID IID_IDirectDraw = {0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDraw7 = {0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDrawSurface7 = {0x06675A80, 0x3B9B, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};
const IID IID_IDirectDrawClipper = {0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectDrawPalette = {0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace qndx {
namespace platform {

namespace {

// The driver a GUID pointer names, when an object may be made for it: DD_OK
// and its index, else why not.
HRESULT FindDriver(const GUID* guid, int* driver) {
    const DisplayState& st = DisplayState::Get();
    *driver = -1;
    if (guid == nullptr || guid == DDCREATE_HARDWAREONLY || guid == DDCREATE_EMULATIONONLY) *driver = 0;
    for (size_t i = 1; *driver < 0 && i < st.drivers.size(); ++i)
        if (st.drivers[i].guid == *guid) *driver = static_cast<int>(i);
    if (*driver < 0) return DDERR_INVALIDDIRECTDRAWGUID;
    return st.drivers[*driver].createResult;
}

// Finds the mode entry SetDisplayMode asks for: 16 bits matches 5-6-5 first,
// then 5-5-5; refresh 0 takes the first rate listed.
const ModeEntry* FindMode(DWORD w, DWORD h, DWORD bits, DWORD refresh) {
    const std::vector<ModeEntry>& modes = DisplayState::Get().modes;
    const DWORD wanted[2] = {bits, bits == 16 ? 15u : bits};
    for (DWORD b : wanted)
        for (const ModeEntry& m : modes)
            if (m.width == w && m.height == h && m.bitsPerPixel == b && (refresh == 0 || m.refreshRate == refresh))
                return &m;
    return nullptr;
}

// A mode as EnumDisplayModes and GetDisplayMode describe it (the size field
// is kept, everything else written).
void DescribeMode(const ModeEntry& m, DDSURFACEDESC2* d) {
    const DWORD size = d->dwSize;
    std::memset(d, 0, sizeof *d);
    d->dwSize = size;
    d->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d->dwWidth = m.width;
    d->dwHeight = m.height;
    d->ddpfPixelFormat = FormatForBits(m.bitsPerPixel);
    d->lPitch = static_cast<LONG>((m.width * (d->ddpfPixelFormat.dwRGBBitCount / 8) + 3) & ~3u);
    d->dwRefreshRate = m.refreshRate;
}

// The display mode changed: primaries made for the old mode are gone.
void ChangeMode(const ModeEntry& mode) {
    DisplayState& st = DisplayState::Get();
    const ModeEntry old = st.current;
    st.current = mode;
    if (old.width != mode.width || old.height != mode.height || old.bitsPerPixel != mode.bitsPerPixel)
        for (SurfaceImpl* s : st.surfaces)
            if (s->IsPrimary()) s->MarkLost(true);
    st.NotifyModeChanged();
}

}  // namespace

// ---------------------------------------------------------------------------
// Capabilities.

HRESULT FillCaps(int driver, LPDDCAPS drv, LPDDCAPS hel) {
    DisplayState& st = DisplayState::Get();
    if (!drv && !hel) return DDERR_INVALIDPARAMS;
    if (drv && !SizeTagOk(drv->dwSize, QNDX_DDCAPS_TAG, sizeof(DDCAPS))) return DDERR_INVALIDPARAMS;
    if (hel && !SizeTagOk(hel->dwSize, QNDX_DDCAPS_TAG, sizeof(DDCAPS))) return DDERR_INVALIDPARAMS;
    if (driver < 0 || static_cast<size_t>(driver) >= st.drivers.size()) return DDERR_INVALIDOBJECT;
    if (FAILED(st.drivers[driver].capsResult)) return st.drivers[driver].capsResult;
    for (LPDDCAPS caps : {drv, hel}) {
        if (!caps) continue;
        DWORD size = caps->dwSize;
        std::memset(caps, 0, sizeof *caps);
        caps->dwSize = size;
        caps->dwCaps = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_COLORKEY | DDCAPS_BLTCOLORFILL | DDCAPS_CANBLTSYSMEM;
        caps->dwCKeyCaps = DDCKEYCAPS_SRCBLT;
        caps->dwFXCaps = DDFXCAPS_BLTMIRRORLEFTRIGHT | DDFXCAPS_BLTMIRRORUPDOWN;
        caps->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                               DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        caps->ddsOldCaps.dwCaps = caps->ddsCaps.dwCaps;
    }
    if (drv) {
        drv->dwVidMemTotal = static_cast<DWORD>(st.budget);
        drv->dwVidMemFree = static_cast<DWORD>(st.used >= st.budget ? 0 : st.budget - st.used);
    }
    return DD_OK;
}

HRESULT DirectDrawCapsImpl::GetCaps(LPDDCAPS drv, LPDDCAPS hel) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw::GetCaps", &hr)) return hr;
    return FillCaps(m_driver, drv, hel);
}

// ---------------------------------------------------------------------------
// IDirectDraw7.

DirectDrawImpl::DirectDrawImpl(int driver) : m_driver(driver) {}

DirectDrawImpl::~DirectDrawImpl() { DropExclusive(); }

void DirectDrawImpl::DropExclusive() {
    DisplayState& st = DisplayState::Get();
    if (st.exclusiveOwner != this) return;
    st.exclusiveOwner = nullptr;
    st.exclusiveWindow = nullptr;
    // Leaving exclusive mode gives the desktop back.
    ChangeMode({st.desktopWidth, st.desktopHeight, st.desktopBits, st.current.refreshRate});
}

HRESULT DirectDrawImpl::GetCaps(LPDDCAPS drv, LPDDCAPS hel) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::GetCaps", &hr)) return hr;
    return FillCaps(m_driver, drv, hel);
}

HRESULT DirectDrawImpl::EnumDisplayModes(DWORD dwFlags, LPDDSURFACEDESC2 filter, LPVOID context,
                                         LPDDENUMMODESCALLBACK2 callback) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::EnumDisplayModes", &hr, [&] { return Hex(dwFlags); })) return hr;
    if (!callback || (dwFlags & ~(DDEDM_REFRESHRATES | DDEDM_STANDARDVGAMODES))) return DDERR_INVALIDPARAMS;
    if (filter && !SizeTagOk(filter->dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2)))
        return DDERR_INVALIDPARAMS;
    const bool rates = (dwFlags & DDEDM_REFRESHRATES) != 0;
    // A copy: the callback may call back into DirectDraw.
    const std::vector<ModeEntry> modes = DisplayState::Get().modes;
    std::vector<ModeEntry> listed;
    for (const ModeEntry& m : modes) {
        ModeEntry e = m;
        if (!rates) {
            e.refreshRate = 0;
            bool seen = false;
            for (const ModeEntry& l : listed)
                seen = seen || (l.width == e.width && l.height == e.height && l.bitsPerPixel == e.bitsPerPixel);
            if (seen) continue;
        }
        DDPIXELFORMAT pf = FormatForBits(e.bitsPerPixel);
        if (filter) {
            if ((filter->dwFlags & DDSD_WIDTH) && filter->dwWidth != e.width) continue;
            if ((filter->dwFlags & DDSD_HEIGHT) && filter->dwHeight != e.height) continue;
            if ((filter->dwFlags & DDSD_PIXELFORMAT) && filter->ddpfPixelFormat.dwRGBBitCount != pf.dwRGBBitCount)
                continue;
            if ((filter->dwFlags & DDSD_REFRESHRATE) && rates && filter->dwRefreshRate != e.refreshRate) continue;
        }
        listed.push_back(e);
        DDSURFACEDESC2 d;
        d.dwSize = QNDX_DDSURFACEDESC2_TAG;
        DescribeMode(e, &d);
        if (callback(&d, context) == DDENUMRET_CANCEL) break;
    }
    return DD_OK;
}

HRESULT DirectDrawImpl::SetCooperativeLevel(HWND hWnd, DWORD dwFlags) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::SetCooperativeLevel", &hr, [&] { return Hex(dwFlags); })) return hr;
    const DWORD known = DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_NOWINDOWCHANGES | DDSCL_NORMAL | DDSCL_EXCLUSIVE |
                        DDSCL_ALLOWMODEX | DDSCL_SETFOCUSWINDOW | DDSCL_SETDEVICEWINDOW |
                        DDSCL_CREATEDEVICEWINDOW | DDSCL_MULTITHREADED | DDSCL_FPUSETUP | DDSCL_FPUPRESERVE;
    if (dwFlags & ~known) return DDERR_INVALIDPARAMS;
    const bool normal = (dwFlags & DDSCL_NORMAL) != 0;
    const bool full = (dwFlags & DDSCL_FULLSCREEN) != 0;
    const bool exclusive = (dwFlags & DDSCL_EXCLUSIVE) != 0;
    if (normal == (full || exclusive) || full != exclusive) return DDERR_INVALIDPARAMS;
    DisplayState& st = DisplayState::Get();
    if (exclusive) {
        if (!hWnd) return DDERR_INVALIDPARAMS;
        if (st.exclusiveOwner && st.exclusiveOwner != this) return DDERR_EXCLUSIVEMODEALREADYSET;
        st.exclusiveOwner = this;
        st.exclusiveWindow = hWnd;
    } else {
        DropExclusive();
    }
    m_level = dwFlags;
    m_window = hWnd;
    st.NotifyModeChanged();
    return DD_OK;
}

HRESULT DirectDrawImpl::SetDisplayMode(DWORD w, DWORD h, DWORD bits, DWORD refresh, DWORD dwFlags) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::SetDisplayMode", &hr, [&] {
            return std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bits) + "@" +
                   std::to_string(refresh);
        }))
        return hr;
    if (dwFlags & ~1u) return DDERR_INVALIDPARAMS;  // DDSDM_STANDARDVGAMODE only
    if (!CooperativeLevelSet()) return DDERR_NOCOOPERATIVELEVELSET;
    DisplayState& st = DisplayState::Get();
    if (st.exclusiveOwner && st.exclusiveOwner != this) return DDERR_NOEXCLUSIVEMODE;
    const ModeEntry* mode = FindMode(w, h, bits, refresh);
    if (!mode) return DDERR_INVALIDMODE;
    ChangeMode(*mode);
    return DD_OK;
}

HRESULT DirectDrawImpl::RestoreDisplayMode() {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::RestoreDisplayMode", &hr)) return hr;
    DisplayState& st = DisplayState::Get();
    if (st.exclusiveOwner && st.exclusiveOwner != this) return DDERR_NOEXCLUSIVEMODE;
    ChangeMode({st.desktopWidth, st.desktopHeight, st.desktopBits, st.current.refreshRate});
    return DD_OK;
}

HRESULT DirectDrawImpl::GetDisplayMode(LPDDSURFACEDESC2 d) {
    if (!d || !SizeTagOk(d->dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2))) return DDERR_INVALIDPARAMS;
    DescribeMode(DisplayState::Get().current, d);
    return DD_OK;
}

HRESULT DirectDrawImpl::CreateSurface(LPDDSURFACEDESC2 desc, LPDIRECTDRAWSURFACE7* out, IUnknown* outer) {
    HRESULT hr;
    if (out) *out = nullptr;
    if (sim::internal::Enter("IDirectDraw7::CreateSurface", &hr, [&] {
            return desc ? Hex(desc->dwFlags) + " " + Hex(desc->ddsCaps.dwCaps) + " " + std::to_string(desc->dwWidth) +
                              "x" + std::to_string(desc->dwHeight)
                        : std::string("NULL");
        }))
        return hr;
    if (!desc || !out || outer) return DDERR_INVALIDPARAMS;
    if (!SizeTagOk(desc->dwSize, QNDX_DDSURFACEDESC2_TAG, sizeof(DDSURFACEDESC2))) return DDERR_INVALIDPARAMS;
    if (!CooperativeLevelSet()) return DDERR_NOCOOPERATIVELEVELSET;
    SurfaceImpl* surface = nullptr;
    hr = SurfaceImpl::Create(this, *desc, &surface);
    if (SUCCEEDED(hr)) *out = surface;
    return hr;
}

HRESULT DirectDrawImpl::CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* out, IUnknown* outer) {
    HRESULT hr;
    if (out) *out = nullptr;
    if (sim::internal::Enter("IDirectDraw7::CreateClipper", &hr)) return hr;
    if (dwFlags != 0 || !out || outer) return DDERR_INVALIDPARAMS;
    *out = new ClipperImpl();
    return DD_OK;
}

HRESULT DirectDrawImpl::CreatePalette(DWORD dwFlags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* out,
                                      IUnknown* outer) {
    HRESULT hr;
    if (out) *out = nullptr;
    if (sim::internal::Enter("IDirectDraw7::CreatePalette", &hr, [&] { return Hex(dwFlags); })) return hr;
    if (!entries || !out || outer) return DDERR_INVALIDPARAMS;
    if (!(dwFlags & DDPCAPS_8BIT)) return DDERR_UNSUPPORTED;  // 8-bit palettes only
    if (dwFlags & ~(DDPCAPS_8BIT | DDPCAPS_ALLOW256 | DDPCAPS_PRIMARYSURFACE | DDPCAPS_8BITENTRIES))
        return DDERR_INVALIDPARAMS;
    *out = new PaletteImpl(dwFlags, entries);
    return DD_OK;
}

HRESULT DirectDrawImpl::WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDraw7::WaitForVerticalBlank", &hr, [&] { return Hex(dwFlags); })) return hr;
    if (dwFlags == DDWAITVB_BLOCKBEGINEVENT) return DDERR_UNSUPPORTED;
    if (dwFlags != DDWAITVB_BLOCKBEGIN && dwFlags != DDWAITVB_BLOCKEND) return DDERR_INVALIDPARAMS;
    // The next retrace of the current refresh rate, on the layer's clock (so
    // the fake clock advances instead of the test waiting).
    DWORD rate = DisplayState::Get().current.refreshRate;
    if (rate == 0) rate = 60;
    LARGE_INTEGER freq, now;
    if (!QueryPerformanceFrequency(&freq) || !QueryPerformanceCounter(&now) || freq.QuadPart <= 0) return DD_OK;
    const LONGLONG period = freq.QuadPart / rate;
    if (period <= 0) return DD_OK;
    const LONGLONG remaining = period - now.QuadPart % period;
    const DWORD ms = static_cast<DWORD>(remaining * 1000 / freq.QuadPart);
    if (ms > 0) Sleep(ms);
    return DD_OK;
}

// ---------------------------------------------------------------------------
// Clipper and palette.

HRESULT ClipperImpl::SetHWnd(DWORD dwFlags, HWND hWnd) {
    HRESULT hr;
    if (sim::internal::Enter("IDirectDrawClipper::SetHWnd", &hr)) return hr;
    if (dwFlags != 0) return DDERR_INVALIDPARAMS;
    m_window = hWnd;
    return DD_OK;
}

HRESULT ClipperImpl::GetHWnd(HWND* lphWnd) {
    if (!lphWnd) return DDERR_INVALIDPARAMS;
    *lphWnd = m_window;
    return DD_OK;
}

PaletteImpl::PaletteImpl(DWORD caps, const PALETTEENTRY* entries) : m_caps(caps) {
    std::memcpy(m_entries, entries, sizeof m_entries);
}

HRESULT PaletteImpl::GetCaps(LPDWORD lpdwCaps) {
    if (!lpdwCaps) return DDERR_INVALIDPARAMS;
    *lpdwCaps = m_caps;
    return DD_OK;
}

HRESULT PaletteImpl::GetEntries(DWORD dwFlags, DWORD dwBase, DWORD count, LPPALETTEENTRY entries) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawPalette::GetEntries", &hr)) return hr;
    if (dwFlags != 0 || !entries || dwBase > 256 || count > 256 - dwBase) return DDERR_INVALIDPARAMS;
    std::memcpy(entries, m_entries + dwBase, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

HRESULT PaletteImpl::SetEntries(DWORD dwFlags, DWORD start, DWORD count, LPPALETTEENTRY entries) {
    HRESULT hr;
    if (sim::internal::TakeFault("IDirectDrawPalette::SetEntries", &hr)) return hr;
    if (dwFlags != 0 || !entries || start > 256 || count > 256 - start) return DDERR_INVALIDPARAMS;
    std::memcpy(m_entries + start, entries, count * sizeof(PALETTEENTRY));
    return DD_OK;
}

}  // namespace platform
}  // namespace qndx

// ---------------------------------------------------------------------------
// Entry points.

using qndx::platform::DirectDrawCapsImpl;
using qndx::platform::DirectDrawImpl;
using qndx::platform::DisplayState;

HRESULT WINAPI DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter) {
    HRESULT hr;
    if (lplpDD) *lplpDD = nullptr;
    if (qndx::sim::internal::Enter("DirectDrawCreate", &hr, lpGUID ? "guid" : "NULL")) return hr;
    if (!lplpDD || pUnkOuter) return DDERR_INVALIDPARAMS;
    int driver;
    if (FAILED(hr = qndx::platform::FindDriver(lpGUID, &driver))) return hr;
    *lplpDD = new DirectDrawCapsImpl(driver);
    return DD_OK;
}

HRESULT WINAPI DirectDrawCreateEx(GUID* lpGuid, LPVOID* lplpDD, REFIID iid, IUnknown* pUnkOuter) {
    HRESULT hr;
    if (lplpDD) *lplpDD = nullptr;
    if (qndx::sim::internal::Enter("DirectDrawCreateEx", &hr, lpGuid ? "guid" : "NULL")) return hr;
    if (!lplpDD || pUnkOuter || iid != IID_IDirectDraw7) return DDERR_INVALIDPARAMS;
    int driver;
    if (FAILED(hr = qndx::platform::FindDriver(lpGuid, &driver))) return hr;
    *lplpDD = static_cast<IDirectDraw7*>(new DirectDrawImpl(driver));
    // What is drawn to the primary from now on shows in the SDL windows.
    qndx::platform::InstallWindowPresenter();
    return DD_OK;
}

HRESULT WINAPI DirectDrawEnumerateExA(LPDDENUMCALLBACKEXA lpCallback, LPVOID lpContext, DWORD dwFlags) {
    HRESULT hr;
    if (qndx::sim::internal::Enter("DirectDrawEnumerateExA", &hr, [&] { return qndx::platform::Hex(dwFlags); }))
        return hr;
    const DWORD known =
        DDENUM_ATTACHEDSECONDARYDEVICES | DDENUM_DETACHEDSECONDARYDEVICES | DDENUM_NONDISPLAYDEVICES;
    if (!lpCallback || (dwFlags & ~known)) return DDERR_INVALIDPARAMS;
    // A copy: the callback creates DirectDraw objects.
    const std::vector<qndx::platform::DriverEntry> drivers = DisplayState::Get().drivers;
    const DWORD kindFlag[] = {DDENUM_ATTACHEDSECONDARYDEVICES, DDENUM_DETACHEDSECONDARYDEVICES,
                              DDENUM_NONDISPLAYDEVICES};
    for (const qndx::platform::DriverEntry& d : drivers) {
        if (!d.primary && (d.kind < 0 || d.kind > 2 || !(dwFlags & kindFlag[d.kind]))) continue;
        GUID guid = d.guid;
        std::string description = d.description, name = d.name;
        if (!lpCallback(d.primary ? nullptr : &guid, &description[0], &name[0], lpContext, d.monitor)) break;
    }
    return DD_OK;
}
