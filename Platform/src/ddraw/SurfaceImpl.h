// DirectDraw surfaces inside the layer. Everything is system RAM; a surface
// in "video memory" only counts against the budget. Besides the interface
// methods, this header is how the rest of the layer reaches a surface's
// pixels: the present reads the primary through GetSurfaceMemory and learns
// about changes as the display state's presenter.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "gdi/DeviceContext.h"
#include "pixels/Frame.h"
#include "pixels/Pixels.h"
#include "platform/DirectDraw.h"

namespace qndx {
namespace platform {

class DirectDrawImpl;
class SurfaceImpl;
class ClipperImpl;
class PaletteImpl;

// A surface's pixels as they are now. `bits` stays valid until the surface
// is flipped, restored after a mode change or released. Whoever asks may
// write them, so the surface forgets what it had worked out about them (the
// span form of its key); a write made later through an old pointer is
// not seen by keyed blits from it.
struct SurfaceMemory {
    uint8_t* bits = nullptr;
    LONG pitch = 0;
    DWORD width = 0;
    DWORD height = 0;
    DDPIXELFORMAT format = {};
    pixels::Kind kind = pixels::kNone;
    const PALETTEENTRY* palette = nullptr;  // attached palette, 8-bit only
};

// False when `surface` is not one of the layer's live surfaces. Pixels a
// window holds for a primary are back in its memory first.
bool GetSurfaceMemory(IDirectDrawSurface7* surface, SurfaceMemory* out);

// The display as DirectDraw has set it. bitsPerPixel is 15 for 5-5-5.
struct DisplayModeInfo {
    DWORD width = 0;
    DWORD height = 0;
    DWORD bitsPerPixel = 0;
    DWORD refreshRate = 0;
    bool exclusive = false;  // full-screen exclusive cooperative level held
    HWND window = nullptr;   // the window given with the cooperative level
};
DisplayModeInfo CurrentDisplayModeInfo();

// What shows the primary surfaces: the window present (ddraw/PrimaryPresent.cpp)
// or a test listening to DirectDraw. One at a time, on the display state.
class Presenter {
public:
    virtual ~Presenter() = default;
    // Something was written to `primary`: Blt and BltFast onto it, Unlock
    // (not after read-only locks), ReleaseDC, Flip, Restore. `dirty` is the
    // changed rectangle, or null for the whole surface.
    virtual void PrimaryWritten(SurfaceImpl* primary, const RECT* dirty) = 0;
    // After SetCooperativeLevel, SetDisplayMode and RestoreDisplayMode (the
    // full-screen switch of a real window hangs here).
    virtual void DisplayModeChanged(const DisplayModeInfo& mode) = 0;

    // A windowed present may copy a plain 1:1 blit onto a primary straight
    // into the window and hold that rectangle there, so the frame is copied
    // once. Held pixels come back into the primary's memory before anything
    // reads or writes it: Lock, GetDC, a blit from or onto it, a colour fill,
    // GetSurfaceMemory, Restore.
    //
    // Offered a plain copy of srcRect of `src` onto `primary` at `dst` (same
    // size, inside the primary): true when it showed it and now holds `dst`
    // (it calls SetHeld). False leaves the copy to the primary.
    virtual bool Hold(SurfaceImpl*, SurfaceImpl*, const RECT&, const RECT&) { return false; }
    // Puts every held pixel of `primary` (null: of any primary) back into its
    // memory and calls SetHeld(false).
    virtual void GiveBack(SurfaceImpl*) {}
    // `primary` goes away: what is held for it is dropped.
    virtual void Forget(SurfaceImpl*) {}
};
// Null leaves the primaries unshown. Pixels the old presenter holds come back
// first. Not cleared by the sim reset.
void SetPresenter(Presenter* presenter);

// For tests that listen to DirectDraw: a presenter that only calls these
// (while either is set), in place of any other. Null removes one.
typedef void (*PrimaryWriteHook)(IDirectDrawSurface7* primary, const RECT* dirty);
void SetPrimaryWriteHook(PrimaryWriteHook hook);
typedef void (*DisplayModeHook)(const DisplayModeInfo& mode);
void SetDisplayModeHook(DisplayModeHook hook);

class SurfaceImpl final : public IDirectDrawSurface7 {
public:
    // Validates `desc` and makes the surface (a primary, a flip chain or an
    // offscreen surface). The new surface has one reference.
    static HRESULT Create(DirectDrawImpl* owner, const DDSURFACEDESC2& desc, SurfaceImpl** out);
    // The object behind an interface pointer, or null when it is not a live
    // surface of this layer.
    static SurfaceImpl* FromInterface(IDirectDrawSurface7* surface);

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirectDrawSurface7
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC2 lpDDSurfaceDesc, DWORD dwFlags, HANDLE hEvent) override;
    HRESULT Unlock(LPRECT lpRect) override;
    HRESULT GetDC(HDC* lphDC) override;
    HRESULT ReleaseDC(HDC hDC) override;
    HRESULT SetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) override;
    HRESULT GetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE7 lpDDSrcSurface, LPRECT lpSrcRect, DWORD dwFlags,
                LPDDBLTFX lpDDBltFx) override;
    HRESULT BltFast(DWORD dwX, DWORD dwY, LPDIRECTDRAWSURFACE7 lpDDSrcSurface, LPRECT lpSrcRect,
                    DWORD dwTrans) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE7 lpDDSurfaceTargetOverride, DWORD dwFlags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS2 lpDDSCaps, LPDIRECTDRAWSURFACE7* lplpDDAttachedSurface) override;
    HRESULT IsLost() override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT GetClipper(LPDIRECTDRAWCLIPPER* lplpDDClipper) override;
    HRESULT GetPixelFormat(LPDDPIXELFORMAT lpDDPixelFormat) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC2 lpDDSurfaceDesc) override;
    bool RelockUnchanged(const DDSURFACEDESC2& held, bool write) override;
    HRESULT GetCaps(LPDDSCAPS2 lpDDSCaps) override;
    HRESULT SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) override;
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) override;

    // Inside the layer.
    DWORD Width() const { return m_width; }
    DWORD Height() const { return m_height; }
    LONG Pitch() const { return m_pitch; }
    uint8_t* Bits() const { return m_bits.get(); }
    const DDPIXELFORMAT& Format() const { return m_format; }
    pixels::Kind Kind() const { return m_kind; }
    DWORD Caps() const { return m_caps; }
    bool IsPrimary() const { return (m_caps & DDSCAPS_PRIMARYSURFACE) != 0; }
    bool InVideoMemory() const { return (m_caps & DDSCAPS_VIDEOMEMORY) != 0; }
    bool Lost() const { return m_lost; }
    // The memory as a drawing target, cleared first if never written
    // (`settle` false leaves that to the target's user).
    PixelTarget Target(bool settle = true) const;
    SurfaceMemory Memory() const;
    // Marks the whole flip chain lost; `wrongMode` makes Restore answer
    // DDERR_WRONGMODE (the display mode changed under a primary).
    void MarkLost(bool wrongMode = false);
    // The front surface of this surface's flip chain (itself when alone).
    SurfaceImpl* Front();
    // The window named by the attached clipper, or null.
    HWND ClipperWindow() const;
    // Held pixels (see Presenter) come back, and memory never written is
    // cleared (`clear` false leaves that to a device context), before the
    // memory is used.
    void Settle(bool clear = true) {
        if (m_held) {
            SettleHeld();
            DropSpans();  // the held pixels replace what any span form was built from
        }
        if (clear && m_unwritten) {
            std::memset(m_bits.get(), 0, m_bytes);
            m_unwritten = false;
        }
    }
    void SetHeld(bool held) { m_held = held; }
    bool Held() const { return m_held; }
    // Whether a usable span form is held now (tests check they reach it).
    bool HasSpans() const { return m_spans.Built(); }
    // The surface's memory as the blit frame takes it.
    pixels::Plane Plane() const;
    // Called whenever the pixels or the key may change.
    void DropSpans();
    // DropSpans on the whole flip chain (its buffers trade pixels).
    void DropChainSpans();

private:
    SurfaceImpl(DirectDrawImpl* owner, DWORD width, DWORD height, const DDPIXELFORMAT& format, DWORD caps);
    ~SurfaceImpl();
    bool Allocate();
    HRESULT CheckUsable() const;
    // A blit's source and its rectangle (the whole source when null), checked.
    HRESULT CheckSource(IDirectDrawSurface7* lpSrc, const RECT* lpSrcRect, SurfaceImpl** src, pixels::Area* area);
    // A 1:1 copy of an area inside both surfaces.
    void CopyFrom(SurfaceImpl* src, const pixels::Area& a, bool keyed, DWORD key);
    HRESULT BlitFrom(SurfaceImpl* src, const RECT& dst, const RECT& srcRect, const RECT& clip, DWORD ddfx,
                     bool keyed, DWORD key);
    void NotifyWrite(const RECT* dirty);
    void SettleHeld();
    // Offers a checked blit onto this primary to the presenter; true when it
    // showed and holds it.
    bool OfferToHolder(SurfaceImpl* src, const RECT& dst, const RECT& srcRect, const RECT& clip, DWORD ddfx,
                       bool keyed);
    void FillGarbage();

    ULONG m_refs = 1;
    DirectDrawImpl* m_owner;  // referenced
    DWORD m_width;
    DWORD m_height;
    LONG m_pitch = 0;
    DDPIXELFORMAT m_format;
    pixels::Kind m_kind;
    DWORD m_caps;
    int m_bytesPerPixel;
    DWORD m_keyBits;          // what a keyed blit compares and writes of a pixel
    std::unique_ptr<uint8_t[]> m_bits;
    mutable bool m_unwritten = false;  // m_bits not yet cleared
    size_t m_bytes = 0;
    bool m_countsAgainstBudget = false;

    bool m_locked = false;
    bool m_lockReadOnly = false;
    RECT m_lockRect = {0, 0, 0, 0};
    HDC m_dc = nullptr;
    bool m_lost = false;
    bool m_wrongMode = false;
    bool m_held = false;  // part of the picture is in a window (see Presenter)

    bool m_hasKey = false;
    DDCOLORKEY m_key = {0, 0};
    // The span form of the keyed pixels; its buffers outlive drops.
    pixels::SpanMemo m_spans;
    ClipperImpl* m_clipper = nullptr;  // referenced
    PaletteImpl* m_palette = nullptr;  // referenced

    // Flip chain: the front owns its back buffers; they die with it.
    std::vector<SurfaceImpl*> m_backs;
    SurfaceImpl* m_front = nullptr;
};

}  // namespace platform
}  // namespace qndx
