// Stock icons and cursors, the cursor SetCursor chooses, ShowCursor's
// display count and the pointer position. The host pointer is shown while the
// count is not negative and a cursor is set.
#include <algorithm>
#include <cstdio>

#include "platform/Kernel.h"
#include "sim/SimInternal.h"
#include "user/Icons.h"
#include "user/WindowManager.h"

namespace qndx {
namespace platform {
namespace {

const StockImage kStock[] = {
    {true, 32512, 32, 32, 0, 0, PointerShape::Arrow},
    {true, 32513, 32, 32, 16, 16, PointerShape::IBeam},
    {true, 32514, 32, 32, 16, 16, PointerShape::Wait},
    {true, 32515, 32, 32, 16, 16, PointerShape::Cross},
    {true, 32516, 32, 32, 16, 0, PointerShape::UpArrow},
    {true, 32642, 32, 32, 16, 16, PointerShape::SizeNWSE},
    {true, 32643, 32, 32, 16, 16, PointerShape::SizeNESW},
    {true, 32644, 32, 32, 16, 16, PointerShape::SizeWE},
    {true, 32645, 32, 32, 16, 16, PointerShape::SizeNS},
    {true, 32646, 32, 32, 16, 16, PointerShape::SizeAll},
    {true, 32648, 32, 32, 16, 16, PointerShape::No},
    {true, 32649, 32, 32, 8, 0, PointerShape::Hand},
    {true, 32650, 32, 32, 0, 0, PointerShape::AppStarting},
    {false, 32512, 32, 32, 16, 16, PointerShape::Arrow},
    {false, 32513, 32, 32, 16, 16, PointerShape::Arrow},
    {false, 32514, 32, 32, 16, 16, PointerShape::Arrow},
    {false, 32515, 32, 32, 16, 16, PointerShape::Arrow},
    {false, 32516, 32, 32, 16, 16, PointerShape::Arrow},
    {false, 32517, 32, 32, 16, 16, PointerShape::Arrow},
};

HICON FindStock(bool cursor, LPCSTR name) {
    if (!IS_INTRESOURCE(name)) return nullptr;
    int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    for (const StockImage& s : kStock)
        if (s.cursor == cursor && s.id == id)
            return reinterpret_cast<HICON>(const_cast<StockImage*>(&s));
    return nullptr;
}

HICON LoadStock(bool cursor, HINSTANCE instance, LPCSTR name) {
    const char* call = cursor ? "LoadCursorA" : "LoadIconA";
    if (instance) {
        // Program resources would need an image decoder for cursor and icon
        // resources, which the layer does not have: fail visibly.
        std::fprintf(stderr, "%s: cursor and icon resources of a module are not supported\n", call);
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    HICON h = FindStock(cursor, name);
    if (!h) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return h;
}

}  // namespace

const StockImage* LookupStockImage(const void* handle) {
    for (const StockImage& s : kStock)
        if (handle == &s) return &s;
    return nullptr;
}

void WindowManager::ApplyPointer() {
    if (!m_cursorInit) {
        m_cursorInit = true;
        m_cursor = reinterpret_cast<HCURSOR>(FindStock(true, IDC_ARROW));
    }
    if (!m_backend) return;
    const StockImage* s = LookupStockImage(m_cursor);
    m_backend->SetPointer(m_cursorCount >= 0 && m_cursor, s && s->cursor ? s->shape : PointerShape::Arrow);
}

HCURSOR WindowManager::Cursor() {
    if (!m_cursorInit) ApplyPointer();
    return m_cursor;
}

HCURSOR WindowManager::SetCursor(HCURSOR cursor) {
    if (!m_cursorInit) ApplyPointer();
    HCURSOR old = m_cursor;
    m_cursor = cursor;
    ApplyPointer();
    return old;
}

int WindowManager::ShowCursor(bool show) {
    if (!m_cursorInit) ApplyPointer();
    m_cursorCount += show ? 1 : -1;
    ApplyPointer();
    return m_cursorCount;
}

POINT WindowManager::CursorPos() {
    POINT p;
    if (m_backend && m_backend->GetPointer(&p)) return p;
    if (m_cursorPos.x < 0 || m_cursorPos.y < 0) {
        SIZE desk = DesktopSize();
        m_cursorPos = POINT{desk.cx / 2, desk.cy / 2};
    }
    return m_cursorPos;
}

void WindowManager::SetCursorPos(int x, int y) {
    SIZE desk = DesktopSize();
    x = std::max(0, std::min(x, static_cast<int>(desk.cx) - 1));
    y = std::max(0, std::min(y, static_cast<int>(desk.cy) - 1));
    m_cursorPos = POINT{x, y};
    if (m_backend) m_backend->WarpPointer(x, y);
}

}  // namespace platform
}  // namespace qndx

using qndx::platform::Wm;

HICON LoadIconA(HINSTANCE instance, LPCSTR name) { return qndx::platform::LoadStock(false, instance, name); }

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    return reinterpret_cast<HCURSOR>(qndx::platform::LoadStock(true, instance, name));
}

HCURSOR SetCursor(HCURSOR cursor) {
    qndx::sim::internal::Record("SetCursor", [&] {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%p", static_cast<void*>(cursor));
        return std::string(buf);
    });
    return Wm().SetCursor(cursor);
}

HCURSOR GetCursor() { return Wm().Cursor(); }

int ShowCursor(BOOL show) {
    qndx::sim::internal::Record("ShowCursor", show ? "TRUE" : "FALSE");
    return Wm().ShowCursor(show != FALSE);
}

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    *point = Wm().CursorPos();
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    Wm().SetCursorPos(x, y);
    return TRUE;
}
