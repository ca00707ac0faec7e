// Wave sources and the per-voice rate converter.
#include "dmusic/Voice.h"

#include <algorithm>
#include <cmath>

#include "platform/DirectMusic.h"

namespace qndx {
namespace platform {
namespace audio {

PcmSource::PcmSource(std::shared_ptr<const PcmData> data, DWORD repeats)
    : m_data(std::move(data)), m_repeatsLeft(repeats) {}

size_t PcmSource::Pull(float* out, size_t frames, const RenderContext&) {
    const PcmData& d = *m_data;
    if (d.frames == 0) return 0;  // nothing to loop over, however many repeats
    size_t done = 0;
    while (done < frames) {
        if (m_pos >= d.frames) {
            if (m_repeatsLeft == 0) break;
            if (m_repeatsLeft != DMUS_SEG_REPEAT_INFINITE) --m_repeatsLeft;
            m_pos = 0;
        }
        const size_t n = std::min(frames - done, d.frames - m_pos);
        float* o = out + 2 * done;
        if (d.channels == 1) {
            const float* s = d.samples.data() + m_pos;
            for (size_t i = 0; i < n; ++i) o[2 * i] = o[2 * i + 1] = s[i];
        } else {
            std::copy_n(d.samples.data() + 2 * m_pos, 2 * n, o);
        }
        m_pos += n;
        done += n;
    }
    return done;
}

size_t RateConverter::Produce(VoiceSource& source, float* out, size_t frames, double ratio, const RenderContext& ctx) {
    if (ratio == 1.0 && m_pos == 0.0 && m_buffer.empty()) {
        if (m_sourceDone) return 0;
        const size_t n = source.Pull(out, frames, ctx);
        if (n < frames) m_sourceDone = true;
        return n;
    }
    if (!(ratio > 0) || !std::isfinite(ratio)) ratio = 1.0;
    if (frames == 0) return 0;
    // Frames needed: up to the last read position plus its right neighbour.
    const size_t needed = (size_t)std::floor(m_pos + (double)(frames - 1) * ratio) + 2;
    size_t have = m_buffer.size() / 2;
    if (have < needed && !m_sourceDone) {
        m_buffer.resize(needed * 2);
        const size_t got = source.Pull(m_buffer.data() + 2 * have, needed - have, ctx);
        if (got < needed - have) m_sourceDone = true;
        have += got;
        m_buffer.resize(have * 2);
    }
    size_t produced = 0;
    for (; produced < frames; ++produced) {
        const double p = m_pos + (double)produced * ratio;
        const size_t i = (size_t)p;
        if (i >= have) break;
        const float frac = (float)(p - (double)i);
        const float* a = m_buffer.data() + 2 * i;
        const bool hasNext = i + 1 < have;
        const float bl = hasNext ? a[2] : 0.0f, br = hasNext ? a[3] : 0.0f;
        out[2 * produced] = a[0] + (bl - a[0]) * frac;
        out[2 * produced + 1] = a[1] + (br - a[1]) * frac;
    }
    m_pos += (double)produced * ratio;
    const size_t consumed = std::min((size_t)m_pos, have);
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + 2 * consumed);
    m_pos -= (double)consumed;
    if (m_buffer.empty() && m_sourceDone) m_pos = 0;
    return produced;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
