// Rectangle helpers. An empty rectangle has no width or no height; the
// set operations give an all-zero rectangle for an empty result.
#include <algorithm>

#include "platform/User.h"

namespace {

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

}  // namespace

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(LPRECT dst, const RECT* src) {
    if (!dst || !src) return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || Empty(*rect) ? TRUE : FALSE; }

BOOL EqualRect(const RECT* a, const RECT* b) {
    if (!a || !b) return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    if (!rect) return FALSE;
    return point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

BOOL IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst) return FALSE;
    if (!a || !b) {
        SetRectEmpty(dst);
        return FALSE;
    }
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (Empty(r)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL UnionRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (!dst) return FALSE;
    if (!a || !b) {
        SetRectEmpty(dst);
        return FALSE;
    }
    const bool ea = Empty(*a), eb = Empty(*b);
    if (ea && eb) {
        SetRectEmpty(dst);
        return FALSE;
    }
    if (ea) {
        *dst = *b;
        return TRUE;
    }
    if (eb) {
        *dst = *a;
        return TRUE;
    }
    *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    return TRUE;
}
