// The blends and shades, and the picture rows that are the same but for the
// vector width, written once for every width: W is a width's set of lane operations (W128 here for SSE2, W256 in
// the AVX2 file). VectorRule<W, Kind, Op> does to a vector of pixels of Kind
// (15, 16 or 32; 24 for bare channel bytes) what scalar rule Op does to one,
// byte for byte. Included only by the vector files, each compiled for its
// level (internal linkage).
#pragma once

#include "Vector128.h"

namespace qndx {
namespace pixels {
namespace {

struct W128 : Vector128 {
    static Vec Set8(int v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static Vec Set16(uint32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static Vec Set32(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
    static Vec Zero() { return _mm_setzero_si128(); }
    static Vec And(Vec a, Vec b) { return _mm_and_si128(a, b); }
    static Vec Or(Vec a, Vec b) { return _mm_or_si128(a, b); }
    static Vec Add8(Vec a, Vec b) { return _mm_add_epi8(a, b); }
    static Vec Add16(Vec a, Vec b) { return _mm_add_epi16(a, b); }
    static Vec Add32(Vec a, Vec b) { return _mm_add_epi32(a, b); }
    static Vec Mul16(Vec a, Vec b) { return _mm_mullo_epi16(a, b); }
    template <int N>
    static Vec Srl16(Vec a) { return _mm_srli_epi16(a, N); }
    template <int N>
    static Vec Sll16(Vec a) { return _mm_slli_epi16(a, N); }
    template <int N>
    static Vec Srl32(Vec a) { return _mm_srli_epi32(a, N); }
    static Vec Low8(Vec a) { return _mm_unpacklo_epi8(a, Zero()); }
    static Vec High8(Vec a) { return _mm_unpackhi_epi8(a, Zero()); }
    static Vec Pack16(Vec lo, Vec hi) { return _mm_packus_epi16(lo, hi); }
    // Lanes of `keep` where the mask is set, of `put` elsewhere.
    static Vec Select(Vec mask, Vec keep, Vec put) { return pixels::Select(mask, keep, put); }
};

// Pixels of 15 and 16 bits split into their three fields, each in its own
// lanes, and joined again.
template <class W, int Kind>
struct Fields {
    typedef typename W::Vec Vec;
    Vec c[3];
    explicit Fields(Vec p) {
        c[0] = W::And(p, W::Set16(ChannelMask<Kind>(0)));
        c[1] = W::And(W::template Srl16<ChannelShift<Kind>(1)>(p), W::Set16(ChannelMask<Kind>(1)));
        c[2] = W::And(W::template Srl16<ChannelShift<Kind>(2)>(p), W::Set16(ChannelMask<Kind>(2)));
    }
    static Vec Join(Vec b, Vec g, Vec r) {
        const Vec gr = W::Or(W::template Sll16<ChannelShift<Kind>(1)>(g), W::template Sll16<ChannelShift<Kind>(2)>(r));
        return W::Or(b, gr);
    }
};

// (x * xw + y * yw) >> 8 per byte (yw 0 leaves y out). Unpack and pack stay
// within each 128-bit lane, so the bytes come back in their places.
template <class W>
inline typename W::Vec WeighBytes(typename W::Vec x, typename W::Vec xw, typename W::Vec y, typename W::Vec yw) {
    const typename W::Vec lo = W::Add16(W::Mul16(W::Low8(x), xw), W::Mul16(W::Low8(y), yw));
    const typename W::Vec hi = W::Add16(W::Mul16(W::High8(x), xw), W::Mul16(W::High8(y), yw));
    return W::Pack16(W::template Srl16<8>(lo), W::template Srl16<8>(hi));
}

// 32-bit pixels keep byte 3 of the destination; the halving rules clear it
// with their mask and put it back, the weighted ones work on bytes.
template <class W, int Kind>
struct KeepTop {
    typedef typename W::Vec Vec;
    // Constants, not members: the loops' byte stores could alias members,
    // which would then be loaded again at every step.
    static Vec Halved(Vec v, Vec d) { return Kind == 32 ? W::Or(v, W::And(d, W::Set32(KeptBits<32>()))) : v; }
    static Vec Weighed(Vec v, Vec d) { return Kind == 32 ? W::Select(W::Set32(0x00FFFFFF), v, d) : v; }
};

template <class W, int Kind, template <int> class Op>
struct VectorRule;

// Half of every channel: the lowest bit of each cleared, the rest shifted
// down (bytes shift as 16-bit lanes and lose what came down from the next).
template <class W, int Kind>
struct Halving : KeepTop<W, Kind> {
    typedef typename W::Vec Vec;
    static Vec Half(Vec v) {
        if constexpr (Kind == 24) return W::And(W::template Srl16<1>(v), W::Set8(0x7F));
        if constexpr (Kind == 32) return W::template Srl32<1>(W::And(v, W::Set32(HalvingMask<32>())));
        return W::template Srl16<1>(W::And(v, W::Set16(HalvingMask<Kind>())));
    }
};

template <class W, int Kind>
struct VectorRule<W, Kind, HalfAlphaOp> : Halving<W, Kind> {
    typedef typename W::Vec Vec;
    explicit VectorRule(const EffectArgs&) {}
    Vec operator()(Vec s, Vec d) const {
        if constexpr (Kind == 24) return W::Add8(this->Half(s), this->Half(d));
        if constexpr (Kind == 32) return this->Halved(W::Add32(this->Half(s), this->Half(d)), d);
        return W::Add16(this->Half(s), this->Half(d));
    }
};

template <class W, int Kind>
struct VectorRule<W, Kind, HalveOp> : Halving<W, Kind> {
    typedef typename W::Vec Vec;
    explicit VectorRule(const EffectArgs&) {}
    Vec operator()(Vec, Vec d) const { return this->Halved(this->Half(d), d); }
};

template <class W, int Kind>
struct VectorRule<W, Kind, AlphaOp> : KeepTop<W, Kind> {
    typedef typename W::Vec Vec;
    Vec a, ia;
    explicit VectorRule(const EffectArgs& args)
        : a(W::Set16(ClampWeight(args.weight))), ia(W::Set16(256 - ClampWeight(args.weight))) {}
    Vec Mix(Vec s, Vec d) const { return W::template Srl16<8>(W::Add16(W::Mul16(s, ia), W::Mul16(d, a))); }
    Vec operator()(Vec s, Vec d) const {
        if constexpr (Kind == 24 || Kind == 32) {
            return this->Weighed(WeighBytes<W>(s, ia, d, a), d);
        } else {
            const Fields<W, Kind> sc(s), dc(d);
            return Fields<W, Kind>::Join(Mix(sc.c[0], dc.c[0]), Mix(sc.c[1], dc.c[1]), Mix(sc.c[2], dc.c[2]));
        }
    }
};

template <class W, int Kind>
struct VectorRule<W, Kind, ScaleOp> : KeepTop<W, Kind> {
    typedef typename W::Vec Vec;
    Vec v;
    explicit VectorRule(const EffectArgs& args) : v(W::Set16(ClampWeight(args.weight))) {}
    Vec Mul(Vec c) const { return W::template Srl16<8>(W::Mul16(c, v)); }
    Vec operator()(Vec, Vec d) const {
        if constexpr (Kind == 24 || Kind == 32) {
            return this->Weighed(WeighBytes<W>(d, v, d, W::Zero()), d);
        } else {
            const Fields<W, Kind> dc(d);
            return Fields<W, Kind>::Join(Mul(dc.c[0]), Mul(dc.c[1]), Mul(dc.c[2]));
        }
    }
};

// 5-6-5 into 5-5-5 (the 15-bit kind of pictures decoded as 5-6-5): green
// loses its low bit, as narrowing it from 8 bits does.
template <class W>
void Picture565To555(uint8_t* d, const uint8_t* s, int first, int count, const uint32_t* table) {
    constexpr int N = sizeof(typename W::Vec) / 2;
    const uint8_t* p = s + (ptrdiff_t)first * 2;
    int i = 0;
    for (; i + N <= count; i += N, p += 2 * N, d += 2 * N) {
        const typename W::Vec v = W::Load(p);
        W::Store(d, W::Or(W::And(v, W::Set16(0x1F)), W::And(W::template Srl16<1>(v), W::Set16(0x7FE0))));
    }
    PictureRowOf<16, 15>(d, s, first + i, count - i, table);
}

}  // namespace
}  // namespace pixels
}  // namespace qndx
