// Feeds arbitrary bytes to the sound loader's content reader as a file held
// in memory: the RIFF walk, SDL's wave decoders (PCM, float, A-law, mu-law,
// ADPCM) and the conversion to the mix format. A decoded wave must hold
// whole frames of finite samples.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dmusic/Content.h"

using namespace qndx::platform::audio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::shared_ptr<const SegmentContent> content;
    if (FAILED(ParseSegmentContent(data, size, &content))) return 0;
    if (content->kind != SegmentContent::Kind::Wave) return 0;
    const PcmData& pcm = *content->pcm;
    if ((pcm.channels != 1 && pcm.channels != 2) || pcm.samples.size() != pcm.frames * (size_t)pcm.channels) {
        std::fprintf(stderr, "wav_fuzz: %d channels, %zu frames, %zu samples\n", pcm.channels, pcm.frames,
                     pcm.samples.size());
        std::abort();
    }
    for (float s : pcm.samples)
        if (!std::isfinite(s)) {
            std::fprintf(stderr, "wav_fuzz: a sample that is not a number reached the mix format\n");
            std::abort();
        }
    return 0;
}
