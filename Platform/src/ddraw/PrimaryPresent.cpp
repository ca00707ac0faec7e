// The present (see PrimaryPresent.h): which writes to the primary reach which
// window, and the pixels a window holds for the primary. Everything here runs
// on the engine's thread, inside the DirectDraw call that wrote to the
// primary; the window side only copies rows.
#include "ddraw/PrimaryPresent.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ddraw/DisplayState.h"
#include "ddraw/DisplayWindow.h"
#include "ddraw/SurfaceImpl.h"
#include "platform/User.h"
#include "user/WindowQueries.h"

namespace qndx {
namespace platform {

namespace {

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool DirectFromEnvironment() {
    const char* plain = std::getenv("QNDX_PRESENT_PLAIN");
    return !(plain && plain[0] == '1');
}

class PrimaryPresenter : public Presenter {
public:
    // Never destroyed: primaries released while the process ends still
    // settle here.
    static PrimaryPresenter& Get() {
        static PrimaryPresenter* presenter = new PrimaryPresenter();
        return *presenter;
    }

    void Install() {
        if (!m_window) m_window = &ChosenDisplayWindow();
        // A presenter someone else set (a test listening to DirectDraw) stays.
        if (!DisplayState::Get().presenter) SetPresenter(this);
    }

    void SetDirect(bool on) {
        if (!on) SettleAll();
        m_direct = on;
    }

    PresenterStats& Stats() { return m_stats; }

    // Brings held pixels back into the primary. The window side keeps the
    // memory they are in until they are back (it asks the presenter before it
    // frees or replaces it, and this side asks before it shows anything that
    // could replace it).
    void SettleAll() {
        if (!m_held.primary) return;
        SurfaceImpl* primary = m_held.primary;
        const RECT& r = m_held.rect;
        const RECT from = {r.left - m_held.origin.x, r.top - m_held.origin.y, r.right - m_held.origin.x,
                           r.bottom - m_held.origin.y};
        uint8_t* to = primary->Bits() + static_cast<ptrdiff_t>(r.top) * primary->Pitch() +
                      static_cast<ptrdiff_t>(r.left) * BytesPerPixel(primary->Kind());
        if (!m_window->TakeBackRows(from, to, primary->Pitch()))
            std::fprintf(stderr, "present: the window holding part of the desktop is gone; that part is lost\n");
        primary->SetHeld(false);
        m_held = Held();
    }

    void GiveBack(SurfaceImpl* primary) override {
        if (!primary || m_held.primary == primary) SettleAll();
        if (primary) primary->SetHeld(false);
    }

    void Forget(SurfaceImpl* primary) override {
        if (m_held.primary == primary) m_held = Held();
    }

    // A plain 1:1 blit onto a windowed primary, inside the window's client
    // area: the source goes straight into the window, converted once, and
    // the primary's rectangle stays held there.
    bool Hold(SurfaceImpl* primary, SurfaceImpl* src, const RECT& srcRect, const RECT& dst) override {
        if (!m_direct || CurrentDisplayModeInfo().exclusive) return false;
        const HWND hwnd = primary->ClipperWindow();
        RECT client;
        if (!hwnd || !m_window->ShownClient(hwnd, &client) || !Inside(dst, client) || !src->Bits()) return false;

        // What the window holds from earlier frames comes back first, unless
        // this copy covers it anyway; asking for the window's memory may
        // replace it.
        if (m_held.primary && (m_held.primary != primary || m_held.window != hwnd || !Inside(m_held.rect, dst)))
            SettleAll();
        const RECT to = {dst.left - client.left, dst.top - client.top, dst.right - client.left,
                         dst.bottom - client.top};
        RECT shown;
        if (!m_window->ShowRows(hwnd, src->Memory(), POINT{srcRect.left, srcRect.top}, to, RowCopy::Held, &shown)) {
            // Whatever is still held lies inside dst, which the blit now
            // writes into the primary itself.
            if (m_held.primary) {
                m_held.primary->SetHeld(false);
                m_held = Held();
            }
            return false;
        }
        m_held.primary = primary;
        m_held.rect = dst;
        m_held.window = hwnd;
        m_held.origin = POINT{client.left, client.top};
        primary->SetHeld(true);
        Note(shown);
        return true;
    }

    void PrimaryWritten(SurfaceImpl* primary, const RECT* dirty) override {
        SurfaceMemory mem;
        if (!GetSurfaceMemory(primary, &mem)) return;
        const DisplayModeInfo mode = CurrentDisplayModeInfo();
        if (mode.exclusive && mode.window) {
            SettleAll();
            RECT shown;
            if (m_window->ShowWhole(mode.window, mem, m_direct, &shown)) Note(shown);
            return;
        }
        // The window a windowed primary shows in: the one its clipper names.
        if (const HWND hwnd = primary->ClipperWindow()) PresentWindowed(hwnd, mem, dirty);
    }

    // An exclusive mode makes its window cover the display; giving it up
    // lets the desktop size be the host's again.
    void DisplayModeChanged(const DisplayModeInfo& mode) override {
        SettleAll();
        if (mode.exclusive && mode.window) {
            SetDisplayModeSize(static_cast<int>(mode.width), static_cast<int>(mode.height));
            // The frame change applies the window's current (popup) style,
            // so its client area is the whole display.
            SetWindowPos(mode.window, HWND_TOP, 0, 0, static_cast<int>(mode.width), static_cast<int>(mode.height),
                         SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        } else {
            SetDisplayModeSize(0, 0);
        }
    }

private:
    // A rectangle of a primary that a window shows and the primary's memory
    // does not have.
    struct Held {
        SurfaceImpl* primary = nullptr;  // null: nothing held
        RECT rect = {0, 0, 0, 0};        // primary coordinates
        HWND window = nullptr;           // the window holding it
        POINT origin = {0, 0};           // that window's client origin then
    };

    void Note(const RECT& shown) {
        ++m_stats.presents;
        m_stats.lastRect = shown;
    }

    // Windowed: the part of `dirty` (desktop coordinates) under the window's
    // client area goes to the same place in the window.
    void PresentWindowed(HWND hwnd, const SurfaceMemory& mem, const RECT* dirty) {
        RECT client;
        if (!m_window->ShownClient(hwnd, &client)) return;
        RECT area = dirty ? *dirty : RECT{0, 0, static_cast<LONG>(mem.width), static_cast<LONG>(mem.height)};
        area.left = std::max(area.left, client.left);
        area.top = std::max(area.top, client.top);
        area.right = std::min(area.right, client.right);
        area.bottom = std::min(area.bottom, client.bottom);
        if (area.left >= area.right || area.top >= area.bottom) return;
        SettleAll();
        const RECT to = {area.left - client.left, area.top - client.top, area.right - client.left,
                         area.bottom - client.top};
        RECT shown;
        if (m_window->ShowRows(hwnd, mem, POINT{area.left, area.top}, to, m_direct ? RowCopy::Fast : RowCopy::Plain,
                               &shown))
            Note(shown);
    }

    DisplayWindow* m_window = nullptr;
    bool m_direct = DirectFromEnvironment();
    Held m_held;
    PresenterStats m_stats;
};

}  // namespace

void InstallWindowPresenter() { PrimaryPresenter::Get().Install(); }

void SetDirectPresent(bool on) { PrimaryPresenter::Get().SetDirect(on); }

PresenterStats GetPresenterStats() { return PrimaryPresenter::Get().Stats(); }
void ResetPresenterStats() { PrimaryPresenter::Get().Stats() = PresenterStats(); }

}  // namespace platform
}  // namespace qndx
