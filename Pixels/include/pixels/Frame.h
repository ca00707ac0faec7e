// The one blit frame both layers run their 1:1 blits and stretches through:
// the block cut to both surfaces' memory, a source that shares memory with
// the destination read before anything is written, and the loop chosen per
// operation, pixel kind and block (the span form of a keyed source or the
// keyed loop). Memory only: the callers have checked, clipped and locked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/Pixels.h"

namespace qndx {
namespace pixels {

// A surface's memory: the first pixel, pitch in bytes, size in pixels, kind.
struct Plane {
    uint8_t* bits = nullptr;
    ptrdiff_t pitch = 0;
    int width = 0;
    int height = 0;
    uint32_t kind = 0;
    bool Same(const Plane& o) const {
        return bits == o.bits && pitch == o.pitch && width == o.width && height == o.height && kind == o.kind;
    }
};

// A 1:1 area: w x h pixels of the source at (sx, sy) onto (dx, dy).
struct Area {
    int sx = 0, sy = 0;
    int dx = 0, dy = 0;
    int w = 0, h = 0;
};

// The part of `a` whose destination lies inside [left, right) x [top,
// bottom); the source moves with it. False when nothing is left.
bool ClipArea(Area* a, int left, int top, int right, int bottom);

// The span form of one plane's keyed pixels for its owner: built at the
// second keyed use with the same key since the owner last dropped it (a
// source redrawn every frame pays for the scan once), refused when the runs
// are too short. The owner drops it whenever the pixels or the key change,
// and holds it off while the pixels may be written (a writable lock, a
// device context). A memo in use can be found by its plane's memory, so a
// blit that reached the memory another way (a lock) takes the same form.
class SpanMemo {
public:
    SpanMemo() = default;
    ~SpanMemo();
    SpanMemo(const SpanMemo&) = delete;
    SpanMemo& operator=(const SpanMemo&) = delete;
    // The span form of `plane` for a masked key, or null (see above). A
    // form built or refused for this plane and key answers inline: a small
    // blit pays for every call.
    const KeySpans* For(const Plane& plane, uint32_t maskedKey) {
        if (m_state != State::None && m_key == maskedKey && !m_heldOff && plane.Same(m_plane))
            return m_state == State::Built ? &m_spans : nullptr;
        return Find(plane, maskedKey);
    }
    void Drop() {
        m_state = State::None;
        m_uses = 0;
    }
    // While held off, For answers null and counts no use.
    void HoldOff(bool on) {
        Drop();
        m_heldOff = on;
    }
    bool Built() const { return m_state == State::Built; }
    // Makes the memo the one found for this plane's memory (For does too);
    // inline, as every read lock of a surface asks.
    void Attach(const Plane& plane) {
        if (!plane.Same(m_plane)) Reattach(plane);
    }
    // The memo attached to the plane whose first pixel is `bits`, or null.
    static SpanMemo* Of(const uint8_t* bits);

private:
    enum class State { None, Built, Refused };
    const KeySpans* Find(const Plane& plane, uint32_t maskedKey);
    void Reattach(const Plane& plane);
    KeySpans m_spans;  // kept across drops for the buffers
    State m_state = State::None;
    bool m_heldOff = false;
    uint32_t m_key = 0;
    int m_uses = 0;
    Plane m_plane;  // what the uses counted and the form was built from
};

enum class Op {
    Copy,    // the bytes as they are; overlapping blocks as if read first
    Keyed,   // KeyedCopy's rule and key
    Scale,   // ScaleCopy with `weight` as the factor
    Effect,  // EffectFor(effect) with {weight, key}
};

struct Job {
    Op op = Op::Copy;
    Effect effect = Effect::Alpha;
    uint32_t key = 0;
    uint32_t weight = 0;
    SpanMemo* spans = nullptr;  // the source's span form, for keyed copies
    bool findSpans = false;     // no memo given: the one its memory has, if any
};

// Runs one operation over area `a` of src onto dst (same kind where the
// source is read; an effect that does not read it is cut to dst alone).
// False when nothing was drawn: nothing left, or no loop for the kind.
bool Blit(const Plane& dst, const Plane& src, const Area& a, const Job& job);

// A stretch, mirror or both (StretchArgs) of the srcW x srcH block at
// (sx, sy) of src onto the dstW x dstH rectangle at (dx, dy) of dst.
void StretchBlit(const Plane& dst, const Plane& src, int sx, int sy, int dx, int dy, const StretchArgs& args);

// For tests: the loop the frame ran last on this thread, while tracing.
enum class Loop { None, Copy, Keyed, Spans, Scale, Effect, Stretch };
struct LoopRun {
    Loop loop = Loop::None;
    const void* fn = nullptr;  // the loop's function (the span form's copy for Spans)
    int w = 0, h = 0;
};
void TraceLoops(bool on);
LoopRun LastLoop();

}  // namespace pixels
}  // namespace qndx
