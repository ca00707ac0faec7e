// Feeds arbitrary bytes to the Standard MIDI file check that stands before
// the synthesiser. What it accepts, it rewrites; the rewritten copy must pass
// the check again unchanged (so the synthesiser only ever sees files of that
// form), and the loader's content reader must agree with the check.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "dmusic/Content.h"

using namespace qndx::platform::audio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> normalized;
    const HRESULT hr = CheckMidiFile(data, size, &normalized);
    std::shared_ptr<const SegmentContent> content;
    const HRESULT loaded = ParseSegmentContent(data, size, &content);
    if (size >= 4 && data[0] == 'M' && data[1] == 'T' && data[2] == 'h' && data[3] == 'd' && loaded != hr) {
        std::fprintf(stderr, "midi_fuzz: the check says 0x%08X, the loader 0x%08X\n", (unsigned)hr, (unsigned)loaded);
        std::abort();
    }
    if (FAILED(hr)) return 0;
    std::vector<uint8_t> again;
    if (CheckMidiFile(normalized.data(), normalized.size(), &again) != S_OK || again != normalized) {
        std::fprintf(stderr, "midi_fuzz: the rewritten file does not check out as itself\n");
        std::abort();
    }
    return 0;
}
