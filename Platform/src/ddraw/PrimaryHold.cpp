// The primary's side of held pixels (see PrimaryHoldHooks in SurfaceImpl.h):
// which blits are offered to the present, and the calls that bring held
// pixels back or drop them.
#include "ddraw/SurfaceImpl.h"

namespace qndx {
namespace platform {

namespace {

const PrimaryHoldHooks*& Hooks() {
    static const PrimaryHoldHooks* hooks = nullptr;
    return hooks;
}

}  // namespace

void SetPrimaryHoldHooks(const PrimaryHoldHooks* hooks) { Hooks() = hooks; }

void SurfaceImpl::SettleHeld() {
    if (const PrimaryHoldHooks* hooks = Hooks()) hooks->settle(this);
    // Without hooks nothing can be held any more.
    m_held = false;
}

void SurfaceImpl::ForgetHeld() {
    if (const PrimaryHoldHooks* hooks = Hooks()) hooks->forget(this);
    m_held = false;
}

bool SurfaceImpl::OfferToHolder(SurfaceImpl* src, const RECT& dst, const RECT& srcRect, const RECT& clip,
                                DWORD ddfx, bool keyed) {
    const PrimaryHoldHooks* hooks = Hooks();
    if (!hooks || !IsPrimary() || src == this || src->m_held || keyed || ddfx != 0) return false;
    // Someone drawing into the memory directly keeps it.
    if (m_locked || m_dc) return false;
    if (src->m_kind != m_kind) return false;
    if (srcRect.right - srcRect.left != dst.right - dst.left || srcRect.bottom - srcRect.top != dst.bottom - dst.top)
        return false;
    // The clipped part of a 1:1 copy: the source moves with the clip.
    const RECT from = {srcRect.left + (clip.left - dst.left), srcRect.top + (clip.top - dst.top),
                       srcRect.left + (clip.right - dst.left), srcRect.top + (clip.bottom - dst.top)};
    return hooks->take(this, src, from, clip);
}

}  // namespace platform
}  // namespace qndx
