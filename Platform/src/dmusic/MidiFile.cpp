// Structural check of Standard MIDI files before they reach FluidSynth: the
// header, every chunk length, and every event of every track, with running
// status, variable-length numbers and meta and system-exclusive lengths kept
// inside their track. The synthesiser gets a rewritten copy: a six-byte
// header and the track chunks only, each ending at its end-of-track event.
#include <cstdio>
#include <cstring>
#include <vector>

#include "dmusic/Content.h"
#include "kernel/Errors.h"
#include "platform/DirectMusic.h"

namespace qndx {
namespace platform {
namespace audio {
namespace {

uint32_t Be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return (uint16_t)(p[0] << 8 | p[1]); }

// A variable-length number of at most four bytes; false when it runs past
// `end` or is longer.
bool ReadVlq(const uint8_t*& p, const uint8_t* end, uint32_t* value) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        if (p >= end) return false;
        const uint8_t b = *p++;
        v = (v << 7) | (b & 0x7F);
        if (!(b & 0x80)) {
            *value = v;
            return true;
        }
    }
    return false;
}

void PutBe32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back((uint8_t)(v >> shift));
}

// Length the meta events that FluidSynth reads must have; -1 for any.
int MetaLength(uint8_t type) {
    switch (type) {
        case 0x2F:
            return 0;  // end of track
        case 0x51:
            return 3;  // tempo
        case 0x54:
            return 5;  // SMPTE offset
        case 0x58:
            return 4;  // time signature
        case 0x59:
            return 2;  // key signature
        default:
            return -1;
    }
}

// The number of bytes of the track up to and including its end-of-track
// event, or 0 when the track is damaged. A track without that event is
// accepted whole (*needsEnd is set).
size_t CheckTrack(const uint8_t* begin, const uint8_t* end, bool* needsEnd) {
    const uint8_t* p = begin;
    uint8_t running = 0;
    while (p < end) {
        uint32_t delta;
        if (!ReadVlq(p, end, &delta)) return 0;
        if (p >= end) return 0;
        uint8_t status = *p;
        if (status & 0x80) {
            ++p;
        } else {
            if (!running) return 0;  // data byte with no status to run on
            status = running;
        }
        if (status < 0xF0) {
            running = status;
            const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure
            if (end - p < dataBytes) return 0;
            for (int i = 0; i < dataBytes; ++i)
                if (p[i] & 0x80) return 0;
            p += dataBytes;
        } else if (status == 0xF0 || status == 0xF7) {
            running = 0;
            uint32_t len;
            if (!ReadVlq(p, end, &len) || (size_t)(end - p) < len) return 0;
            p += len;
        } else if (status == 0xFF) {
            running = 0;
            if (p >= end) return 0;
            const uint8_t type = *p++;
            uint32_t len;
            if (!ReadVlq(p, end, &len) || (size_t)(end - p) < len) return 0;
            const int expected = MetaLength(type);
            if (expected >= 0 && len != (uint32_t)expected) return 0;
            p += len;
            if (type == 0x2F) return (size_t)(p - begin);  // anything after it is dropped
        } else {
            return 0;  // real-time and common messages do not belong in files
        }
    }
    *needsEnd = true;
    return (size_t)(p - begin);
}

}  // namespace

HRESULT CheckMidiFile(const uint8_t* data, size_t size, std::vector<uint8_t>* normalized) {
    if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0) {
        SetErrorText("truncated MIDI file: no whole header");
        return DMUS_E_INVALIDFILE;
    }
    const uint32_t headerLen = Be32(data + 4);
    if (headerLen < 6 || headerLen > size - 8) {
        SetErrorText("damaged MIDI file: a header of %u bytes", headerLen);
        return DMUS_E_INVALIDFILE;
    }
    const uint16_t format = Be16(data + 8);
    const uint16_t tracks = Be16(data + 10);
    const uint16_t division = Be16(data + 12);
    if (format > 1) {
        SetErrorText("unsupported format: MIDI file format %u (0 and 1 are played)", format);
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    if (division & 0x8000) {
        SetErrorText("unsupported format: a MIDI file timed in SMPTE frames");
        return DMUS_E_LOADER_FORMATNOTSUPPORTED;
    }
    if (tracks == 0 || division == 0 || (format == 0 && tracks != 1)) {
        SetErrorText("damaged MIDI file: %u tracks in format %u, division %u", tracks, format, division);
        return DMUS_E_INVALIDFILE;
    }

    std::vector<uint8_t> out(data, data + 8);
    out[4] = out[5] = out[6] = 0;
    out[7] = 6;
    out.insert(out.end(), data + 8, data + 14);

    size_t at = 8 + (size_t)headerLen;
    unsigned found = 0;
    while (found < tracks) {
        if (size - at < 8) {
            SetErrorText("truncated MIDI file: %u of %u tracks", found, tracks);
            return DMUS_E_INVALIDFILE;
        }
        const uint32_t len = Be32(data + at + 4);
        if (len > size - at - 8) {
            SetErrorText("truncated MIDI file: a chunk of %u bytes passes the end", len);
            return DMUS_E_INVALIDFILE;
        }
        const uint8_t* body = data + at + 8;
        if (std::memcmp(data + at, "MTrk", 4) == 0) {
            bool needsEnd = false;
            const size_t used = CheckTrack(body, body + len, &needsEnd);
            if (used == 0) {
                SetErrorText("damaged MIDI file: track %u holds a malformed or cut event", found + 1);
                return DMUS_E_INVALIDFILE;
            }
            static const uint8_t kEnd[4] = {0x00, 0xFF, 0x2F, 0x00};
            out.insert(out.end(), {'M', 'T', 'r', 'k'});
            PutBe32(&out, (uint32_t)(used + (needsEnd ? 4 : 0)));
            out.insert(out.end(), body, body + used);
            if (needsEnd) out.insert(out.end(), kEnd, kEnd + 4);
            ++found;
        }
        at += 8 + (size_t)len;
    }
    if (normalized) *normalized = std::move(out);
    return S_OK;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
