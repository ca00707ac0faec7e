// The DirectDraw objects: IDirectDraw7 (cooperative level, display mode,
// creation of surfaces, clippers and palettes) and the capabilities-only
// IDirectDraw of DirectDrawCreate; plus the clipper and palette objects.
#pragma once

#include "ddraw/DisplayState.h"
#include "platform/DirectDraw.h"
#include "sim/RefCounted.h"

namespace qndx {
namespace platform {

class DirectDrawImpl final : public AnswersOnly<IDirectDraw7, IID_IDirectDraw7> {
public:
    explicit DirectDrawImpl(int driver);

    HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;
    HRESULT EnumDisplayModes(DWORD dwFlags, LPDDSURFACEDESC2 lpDDSurfaceDesc, LPVOID lpContext,
                             LPDDENUMMODESCALLBACK2 lpEnumModesCallback) override;
    HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) override;
    HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate, DWORD dwFlags) override;
    HRESULT RestoreDisplayMode() override;
    HRESULT GetDisplayMode(LPDDSURFACEDESC2 lpDDSurfaceDesc2) override;
    HRESULT CreateSurface(LPDDSURFACEDESC2 lpDDSurfaceDesc2, LPDIRECTDRAWSURFACE7* lplpDDSurface,
                          IUnknown* pUnkOuter) override;
    HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper, IUnknown* pUnkOuter) override;
    HRESULT CreatePalette(DWORD dwFlags, LPPALETTEENTRY lpDDColorArray, LPDIRECTDRAWPALETTE* lplpDDPalette,
                          IUnknown* pUnkOuter) override;
    HRESULT WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) override;

    bool CooperativeLevelSet() const { return m_level != 0; }
    bool Exclusive() const { return (m_level & DDSCL_EXCLUSIVE) != 0; }
    SurfaceImpl* primary = nullptr;  // the live primary surface made here

private:
    ~DirectDrawImpl() override;
    void DropExclusive();

    int m_driver;
    DWORD m_level = 0;
    HWND m_window = nullptr;
};

class DirectDrawCapsImpl final : public AnswersOnly<IDirectDraw, IID_IDirectDraw> {
public:
    explicit DirectDrawCapsImpl(int driver) : m_driver(driver) {}
    HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) override;

private:
    int m_driver;
};

// Fills driver and emulation capabilities for a driver index.
HRESULT FillCaps(int driver, LPDDCAPS drv, LPDDCAPS hel);

class ClipperImpl final : public AnswersOnly<IDirectDrawClipper, IID_IDirectDrawClipper> {
public:
    HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) override;
    HRESULT GetHWnd(HWND* lphWnd) override;
    HWND Window() const { return m_window; }

private:
    HWND m_window = nullptr;
};

class PaletteImpl final : public AnswersOnly<IDirectDrawPalette, IID_IDirectDrawPalette> {
public:
    PaletteImpl(DWORD caps, const PALETTEENTRY* entries);
    HRESULT GetCaps(LPDWORD lpdwCaps) override;
    HRESULT GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwNumEntries, LPPALETTEENTRY lpEntries) override;
    HRESULT SetEntries(DWORD dwFlags, DWORD dwStartingEntry, DWORD dwCount, LPPALETTEENTRY lpEntries) override;

    const PALETTEENTRY* Entries() const { return m_entries; }

private:
    DWORD m_caps;
    PALETTEENTRY m_entries[256];
};

}  // namespace platform
}  // namespace qndx
