// Structural check of Standard MIDI files before they reach FluidSynth: the
// header, every chunk length, and every event of every track, with running
// status, variable-length numbers and meta and system-exclusive lengths kept
// inside their track. The synthesiser gets a rewritten copy: a six-byte
// header and the track chunks only, each ending at its end-of-track event;
// a file with more tracks than FluidSynth's player takes is merged into one.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <queue>
#include <utility>
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

// FluidSynth's player takes at most this many tracks and plays nothing of a
// file with more; such a file is merged into one track.
constexpr unsigned kMaxPlayerTracks = 127;

// One event of a track: its delta time, its status (running status made
// explicit) and the bytes that follow the status in the file.
struct Event {
    uint32_t delta = 0;
    uint8_t status = 0;
    const uint8_t* body = nullptr;
    size_t bodyLength = 0;
    bool EndOfTrack() const { return status == 0xFF && bodyLength > 0 && body[0] == 0x2F; }
};

// Reads the event at p and moves past it; false when it is malformed or runs
// past `end`. `running` is the track's running status.
bool NextEvent(const uint8_t*& p, const uint8_t* end, uint8_t* running, Event* event) {
    if (!ReadVlq(p, end, &event->delta)) return false;
    if (p >= end) return false;
    uint8_t status = *p;
    if (status & 0x80) {
        ++p;
    } else {
        if (!*running) return false;  // data byte with no status to run on
        status = *running;
    }
    event->status = status;
    const uint8_t* body = p;
    if (status < 0xF0) {
        *running = status;
        const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, channel pressure
        if (end - p < dataBytes) return false;
        for (int i = 0; i < dataBytes; ++i)
            if (p[i] & 0x80) return false;
        p += dataBytes;
    } else if (status == 0xF0 || status == 0xF7) {
        *running = 0;
        uint32_t len;
        if (!ReadVlq(p, end, &len) || (size_t)(end - p) < len) return false;
        p += len;
    } else if (status == 0xFF) {
        *running = 0;
        if (p >= end) return false;
        const uint8_t type = *p++;
        uint32_t len;
        if (!ReadVlq(p, end, &len) || (size_t)(end - p) < len) return false;
        const int expected = MetaLength(type);
        if (expected >= 0 && len != (uint32_t)expected) return false;
        p += len;
    } else {
        return false;  // real-time and common messages do not belong in files
    }
    event->body = body;
    event->bodyLength = (size_t)(p - body);
    return true;
}

// The number of bytes of the track up to and including its end-of-track
// event, or 0 when the track is damaged. A track without that event is
// accepted whole (*needsEnd is set).
size_t CheckTrack(const uint8_t* begin, const uint8_t* end, bool* needsEnd) {
    const uint8_t* p = begin;
    uint8_t running = 0;
    while (p < end) {
        Event event;
        if (!NextEvent(p, end, &running, &event)) return 0;
        if (event.EndOfTrack()) return (size_t)(p - begin);  // anything after it is dropped
    }
    *needsEnd = true;
    return (size_t)(p - begin);
}

void PutVlq(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = (uint8_t)(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n > 1) out->push_back((uint8_t)(bytes[--n] | 0x80));
    out->push_back(bytes[0]);
}

// Where a checked track's events lie (each track ends at its end-of-track).
struct TrackSpan {
    const uint8_t* begin;
    const uint8_t* end;
};

// Every event of every (checked) track in one track, in the order the player
// would send them: by tick, and at one tick in the order of the tracks. Each
// event gets its own status byte; the one end of track lies at the latest
// end of any track, so the music keeps its length. A merged delta never
// exceeds the event's own delta in its track, so it fits in four bytes.
std::vector<uint8_t> MergeTracks(uint16_t division, const std::vector<TrackSpan>& tracks) {
    struct Cursor {
        const uint8_t* p;
        const uint8_t* end;
        uint8_t running;
        Event next;
        uint64_t tick;
    };
    std::vector<Cursor> cursors;
    cursors.reserve(tracks.size());
    using Due = std::pair<uint64_t, size_t>;  // tick, track
    std::priority_queue<Due, std::vector<Due>, std::greater<Due>> due;
    uint64_t last = 0, lastEnd = 0;
    size_t bytes = 0;
    for (const TrackSpan& t : tracks) {
        cursors.push_back({t.begin, t.end, 0, Event(), 0});
        bytes += (size_t)(t.end - t.begin);
    }
    auto advance = [&](size_t i) {
        Cursor& c = cursors[i];
        if (c.p >= c.end || !NextEvent(c.p, c.end, &c.running, &c.next)) return;  // checked: cannot fail
        c.tick += c.next.delta;
        if (c.next.EndOfTrack()) {
            lastEnd = std::max(lastEnd, c.tick);
            return;
        }
        due.push({c.tick, i});
    };
    for (size_t i = 0; i < cursors.size(); ++i) advance(i);

    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, (uint8_t)(division >> 8), (uint8_t)division};
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    const size_t bodyStart = out.size();
    // Running statuses become explicit: at most one byte more per event.
    out.reserve(bodyStart + bytes + bytes / 2 + 8);
    while (!due.empty()) {
        const size_t i = due.top().second;
        due.pop();
        const Event& e = cursors[i].next;
        PutVlq(&out, (uint32_t)(cursors[i].tick - last));
        last = cursors[i].tick;
        out.push_back(e.status);
        out.insert(out.end(), e.body, e.body + e.bodyLength);
        advance(i);
    }
    PutVlq(&out, (uint32_t)(std::max(lastEnd, last) - last));
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    std::vector<uint8_t> length;
    PutBe32(&length, (uint32_t)(out.size() - bodyStart));
    std::copy(length.begin(), length.end(), out.begin() + (ptrdiff_t)bodyStart - 4);
    return out;
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
    std::vector<size_t> starts;  // of the tracks' events in `out`
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
            starts.push_back(out.size());
            out.insert(out.end(), body, body + used);
            if (needsEnd) out.insert(out.end(), kEnd, kEnd + 4);
            ++found;
        }
        at += 8 + (size_t)len;
    }
    if (normalized && tracks > kMaxPlayerTracks) {
        std::vector<TrackSpan> spans;
        for (size_t i = 0; i < starts.size(); ++i) {
            const size_t end = i + 1 < starts.size() ? starts[i + 1] - 8 : out.size();  // the next chunk's header
            spans.push_back({out.data() + starts[i], out.data() + end});
        }
        out = MergeTracks(division, spans);
    }
    if (normalized) *normalized = std::move(out);
    return S_OK;
}

}  // namespace audio
}  // namespace platform
}  // namespace qndx
