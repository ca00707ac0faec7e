// Wave decoding and the MIDI file check: supported variants come out right,
// and damaged, truncated or hostile files are refused without reading past
// their ends.
#define QNDX_ALLOCATION_COUNTER_DEFINE
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "DMusicTestSupport.h"
#include "dmusic/Content.h"
#include "platform/Kernel.h"

using namespace qndx::platform::audio;
using qndx_test::Bytes;

namespace {

HRESULT Decode(const Bytes& b, std::shared_ptr<PcmData>* out) { return DecodeWave(b.data(), b.size(), out); }

// Copies the bytes into a buffer of exactly their size, so that the
// sanitizer sees any read past the end.
HRESULT ParseExact(const Bytes& b) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[b.size() ? b.size() : 1]);
    if (!b.empty()) std::memcpy(exact.get(), b.data(), b.size());
    std::shared_ptr<const SegmentContent> content;
    return ParseSegmentContent(exact.get(), b.size(), &content);
}

}  // namespace

TEST(WaveDecode, SixteenBitMonoAtTheMixRateKeepsEverySample) {
    Bytes wav = qndx_test::WaveFile(48000, 1, 16, {16384}, 1000);
    std::shared_ptr<PcmData> pcm;
    ASSERT_EQ(S_OK, Decode(wav, &pcm));
    EXPECT_EQ(1, pcm->channels);
    ASSERT_EQ(1000u, pcm->frames);
    for (float s : pcm->samples) ASSERT_FLOAT_EQ(0.5f, s);
}

TEST(WaveDecode, StereoKeepsItsChannelsApart) {
    Bytes wav = qndx_test::WaveFile(48000, 2, 16, {8192, -16384}, 300);
    std::shared_ptr<PcmData> pcm;
    ASSERT_EQ(S_OK, Decode(wav, &pcm));
    EXPECT_EQ(2, pcm->channels);
    ASSERT_EQ(300u, pcm->frames);
    EXPECT_FLOAT_EQ(0.25f, pcm->samples[0]);
    EXPECT_FLOAT_EQ(-0.5f, pcm->samples[1]);
}

TEST(WaveDecode, OtherRatesAndDepthsAreConvertedToTheMixRate) {
    // 8-bit at 22050 Hz: half a second stays half a second.
    Bytes wav = qndx_test::WaveFile(22050, 1, 8, {192}, 11025);
    std::shared_ptr<PcmData> pcm;
    ASSERT_EQ(S_OK, Decode(wav, &pcm));
    EXPECT_NEAR(24000.0, (double)pcm->frames, 100.0);
    // Unsigned 8-bit 192 is +0.5; away from the edges the level holds.
    EXPECT_NEAR(0.5, pcm->samples[pcm->frames / 2], 0.02);
}

TEST(WaveDecode, AnEmptyDataChunkGivesAnEmptyWave) {
    std::shared_ptr<PcmData> pcm;
    ASSERT_EQ(S_OK, Decode(qndx_test::WaveFile(48000, 1, 16, {0}, 0), &pcm));
    EXPECT_EQ(0u, pcm->frames);
}

TEST(WaveDecode, DamagedFilesAreRefused) {
    const Bytes good = qndx_test::ConstantWave(400);
    std::shared_ptr<PcmData> pcm;

    Bytes truncated(good.begin(), good.end() - 10);  // data chunk shorter than it says
    EXPECT_EQ(DMUS_E_INVALIDFILE, ParseExact(truncated));

    Bytes hugeData = good;
    hugeData[40] = hugeData[41] = hugeData[42] = hugeData[43] = 0xFF;  // data length 4 GiB
    EXPECT_EQ(DMUS_E_INVALIDFILE, ParseExact(hugeData));

    Bytes noFormat = good;
    std::memcpy(noFormat.data() + 12, "junk", 4);  // the format chunk is gone
    EXPECT_EQ(DMUS_E_INVALIDFILE, ParseExact(noFormat));

    Bytes shortFormat = good;
    shortFormat[16] = 8;  // a format chunk too short to hold a format
    EXPECT_EQ(DMUS_E_INVALIDFILE, ParseExact(shortFormat));

    Bytes headerOnly(good.begin(), good.begin() + 12);
    EXPECT_EQ(DMUS_E_INVALIDFILE, ParseExact(headerOnly));

    Bytes zeroChannels = good;
    zeroChannels[22] = 0;
    EXPECT_TRUE(FAILED(ParseExact(zeroChannels)));

    Bytes zeroRate = good;
    zeroRate[24] = zeroRate[25] = zeroRate[26] = zeroRate[27] = 0;
    EXPECT_TRUE(FAILED(ParseExact(zeroRate)));

    Bytes unknownEncoding = good;
    unknownEncoding[20] = 0x55;  // MPEG layer 3 inside RIFF
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, ParseExact(unknownEncoding));
}

// Rates and channel counts no sound card plays are refused before SDL
// sees the file, for the cost of a few small blocks, and say why.
TEST(WaveDecode, HostileRatesAndChannelsAreRefusedBeforeDecodingAndSayWhy) {
    struct Case {
        const char* what;
        Bytes file;
        const char* reason;
    } cases[] = {
        {"1 KB at 1 Hz", qndx_test::WaveFile(1, 1, 8, {200}, 980), "sample rate of 1 Hz"},
        {"10 KB at 8 Hz", qndx_test::WaveFile(8, 1, 8, {200}, 10196), "sample rate of 8 Hz"},
        {"57 bytes at 1.75 GHz", qndx_test::WaveFile(1750000000, 1, 8, {200}, 13), "sample rate of 1750000000 Hz"},
        {"999 Hz", qndx_test::WaveFile(999, 1, 16, {1000}, 100), "sample rate of 999 Hz"},
        {"384001 Hz", qndx_test::WaveFile(384001, 2, 16, {1000}, 100), "sample rate of 384001 Hz"},
        {"9 channels", qndx_test::WaveFile(48000, 9, 16, {1000}, 100), "9 channels"},
        {"no channels", qndx_test::WaveFile(48000, 0, 16, {1000}, 0), "0 channels"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "1 KB at 1 Hz") {
            EXPECT_EQ(1024u, c.file.size());
        }
        if (std::string(c.what) == "57 bytes at 1.75 GHz") {
            EXPECT_EQ(57u, c.file.size());
        }
        QndxSetLastErrorText(nullptr);
        HRESULT hr;
        uint64_t allocated;
        {
            qndx_test::AllocationCounter counter;
            hr = ParseExact(c.file);
            allocated = counter.Bytes();
        }
        EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, hr);
        EXPECT_NE(std::string::npos, std::string(QndxGetLastErrorText()).find(c.reason)) << QndxGetLastErrorText();
        EXPECT_EQ(0u, std::string(QndxGetLastErrorText()).find("unsupported format")) << QndxGetLastErrorText();
        EXPECT_LE(allocated, c.file.size() + 1024) << "bytes allocated";
    }
}

// Every rate in range keeps its length and level, and a decode costs a small
// multiple of its input and output besides the resampler's filter, whose
// tables cost the same for any length (under 1 MiB, the most for stereo
// raised from 1000 Hz).
TEST(WaveDecode, EveryPlayedRateKeepsItsLengthAndCostsInProportion) {
    for (int rate : {1000, 8000, 11025, 44100, 48000, 96000, 384000}) {
        for (int channels : {1, 2, 8}) {
            for (size_t frames : {(size_t)1, (size_t)rate / 10}) {
                SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(channels) + " channels, " +
                             std::to_string(frames) + " frames");
                const Bytes wav = qndx_test::WaveFile(rate, channels, 16, {16384}, frames);
                std::shared_ptr<PcmData> pcm;
                uint64_t allocated;
                {
                    qndx_test::AllocationCounter counter;
                    ASSERT_EQ(S_OK, Decode(wav, &pcm));
                    allocated = counter.Bytes();
                }
                const double want = (double)frames * 48000.0 / rate;
                EXPECT_NEAR(want, (double)pcm->frames, 1.0);
                const int out = channels == 1 ? 1 : 2;
                ASSERT_EQ(out, pcm->channels);
                if (frames > 1) {
                    // Away from the edges the level holds (eight channels mix down louder).
                    const float level = pcm->samples[(pcm->frames / 2) * (size_t)out];
                    EXPECT_NEAR(channels == 8 ? level : 0.5, level, 0.02);
                    EXPECT_GT(level, 0.4f);
                }
                // The wave and the tenth of a second after it, as read and
                // as resampled (before the channels are mixed down).
                const uint64_t inBytes = wav.size() + (uint64_t)(rate / 10 + 1) * channels * 2;
                const uint64_t outBytes = (uint64_t)(want + 4800 + 1) * channels * sizeof(float);
                EXPECT_LE(allocated, 8 * (inBytes + outBytes) + (1u << 20)) << "bytes allocated";
                // The count sees at least the decoded samples themselves.
                EXPECT_GE(allocated, pcm->samples.size() * sizeof(float));
            }
        }
    }
}

TEST(WaveDecode, RandomDamageNeverReadsOutsideTheFile) {
    const Bytes good = qndx_test::WaveFile(22050, 2, 16, {1000, -1000}, 64);
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        Bytes b = good;
        const int hits = 1 + (int)(rng() % 6);
        for (int i = 0; i < hits; ++i) b[rng() % b.size()] = (uint8_t)rng();
        if (rng() % 3 == 0) b.resize(rng() % b.size());
        ParseExact(b);  // any result; the sanitizer build checks the reads
    }
}

// Found by fuzzing: at 4 210 688 Hz SDL's converter computed a negative
// buffer size. A file may hold more than one format chunk, and SDL reads the
// first one: a rate out of range there is refused as well.
TEST(WaveDecode, ARateOutOfRangeInAnEarlierFormatChunkIsRefused) {
    for (int rate : {4210688, 999, 44100}) {
        SCOPED_TRACE(rate);
        const Bytes good = qndx_test::WaveFile(44100, 1, 8, {128}, 64);
        // A second format chunk before the one the writer made.
        Bytes b(good.begin(), good.begin() + 12);
        b.insert(b.end(), good.begin() + 12, good.begin() + 36);
        qndx_test::Bytes rateBytes;
        qndx_test::Put32(&rateBytes, (uint32_t)rate);
        std::copy(rateBytes.begin(), rateBytes.end(), b.begin() + 24);
        b.insert(b.end(), good.begin() + 12, good.end());
        qndx_test::Bytes riffLen;
        qndx_test::Put32(&riffLen, (uint32_t)(b.size() - 8));
        std::copy(riffLen.begin(), riffLen.end(), b.begin() + 4);
        std::shared_ptr<PcmData> pcm;
        EXPECT_EQ(rate == 44100 ? S_OK : DMUS_E_LOADER_FORMATNOTSUPPORTED, Decode(b, &pcm));
    }
}

// Found by fuzzing: a float wave holding NaN and infinities reached the mix
// format as they were (and, resampled, spread NaN to its neighbours).
TEST(WaveDecode, FloatSamplesThatAreNoNumbersBecomeSilence) {
    const float bad[] = {std::nanf(""), INFINITY, -INFINITY};
    for (int rate : {48000, 32000}) {
        SCOPED_TRACE(rate);
        Bytes samples;
        for (int i = 0; i < 600; ++i) {
            const float v = i % 100 == 50 ? bad[(i / 100) % 3] : 0.25f;
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            qndx_test::Put32(&samples, bits);
        }
        Bytes b;
        qndx_test::PutTag(&b, "RIFF");
        qndx_test::Put32(&b, (uint32_t)(4 + 8 + 16 + 8 + samples.size()));
        qndx_test::PutTag(&b, "WAVE");
        qndx_test::PutTag(&b, "fmt ");
        qndx_test::Put32(&b, 16);
        qndx_test::Put16(&b, 3);  // IEEE float
        qndx_test::Put16(&b, 1);
        qndx_test::Put32(&b, (uint32_t)rate);
        qndx_test::Put32(&b, (uint32_t)rate * 4);
        qndx_test::Put16(&b, 4);
        qndx_test::Put16(&b, 32);
        qndx_test::PutTag(&b, "data");
        qndx_test::Put32(&b, (uint32_t)samples.size());
        b.insert(b.end(), samples.begin(), samples.end());
        std::shared_ptr<PcmData> pcm;
        ASSERT_EQ(S_OK, Decode(b, &pcm));
        ASSERT_GT(pcm->frames, 300u);
        for (size_t i = 0; i < pcm->samples.size(); ++i) {
            ASSERT_TRUE(std::isfinite(pcm->samples[i])) << i;
            // At the mix rate nothing is resampled: the rest is kept exactly.
            if (rate == 48000) {
                ASSERT_EQ(i % 100 == 50 ? 0.0f : 0.25f, pcm->samples[i]) << i;
            }
        }
    }
}

TEST(ContentKind, TellsFilesApartByContent) {
    EXPECT_EQ(S_OK, ParseExact(qndx_test::ConstantWave(10)));
    EXPECT_EQ(S_OK, ParseExact(qndx_test::TwoNoteTune()));
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, ParseExact(Bytes{'O', 'g', 'g', 'S', 0, 0, 0, 0}));
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, ParseExact(Bytes{'R', 'I'}));
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, ParseExact(Bytes{}));
    // A DirectMusic segment file is RIFF but no wave.
    Bytes dmsg{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'D', 'M', 'S', 'G'};
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, ParseExact(dmsg));
}

TEST(MidiCheck, AWellFormedFileIsRewrittenWithOnlyItsTracks) {
    Bytes midi = qndx_test::TwoNoteTune();
    // An unknown chunk between header and track, and junk after the end of
    // the track inside its chunk.
    Bytes withExtras(midi.begin(), midi.begin() + 14);
    withExtras.insert(withExtras.end(), {'X', 'F', 'I', 'H', 0, 0, 0, 2, 7, 7});
    Bytes track(midi.begin() + 22, midi.end());
    track.insert(track.end(), {0x55, 0x66});
    withExtras.insert(withExtras.end(), {'M', 'T', 'r', 'k', 0, 0, 0, (uint8_t)track.size()});
    withExtras.insert(withExtras.end(), track.begin(), track.end());

    std::vector<uint8_t> out;
    ASSERT_EQ(S_OK, CheckMidiFile(withExtras.data(), withExtras.size(), &out));
    EXPECT_EQ(midi, out);
}

TEST(MidiCheck, ATrackWithoutItsEndGetsOne) {
    Bytes noEnd = qndx_test::MidiFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}, false);
    std::vector<uint8_t> out;
    ASSERT_EQ(S_OK, CheckMidiFile(noEnd.data(), noEnd.size(), &out));
    EXPECT_EQ(qndx_test::MidiFile({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}, true), out);
}

TEST(MidiCheck, RunningStatusAndSystemExclusiveAreFollowed) {
    // Note on with running status for the second note, a sysex and a meta
    // text event.
    Bytes midi = qndx_test::MidiFile({0x00, 0x90, 60,   100,  0x00, 64,   100,            //
                                      0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7,                 //
                                      0x00, 0xFF, 0x01, 0x02, 'h',  'i',                  //
                                      0x81, 0x00, 0x80, 60,   0,    0x00, 0x80, 64, 0});  // two-byte delta
    EXPECT_EQ(S_OK, CheckMidiFile(midi.data(), midi.size(), nullptr));
}

TEST(MidiCheck, DamagedFilesAreRefused) {
    const Bytes good = qndx_test::TwoNoteTune();
    auto check = [](const Bytes& b) { return ParseExact(b); };

    EXPECT_EQ(DMUS_E_INVALIDFILE, check(Bytes(good.begin(), good.end() - 5)));     // track shorter than it says
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(Bytes(good.begin(), good.begin() + 14)));  // no track at all
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({0x00, 60, 100})));    // data byte with no status
    EXPECT_EQ(DMUS_E_INVALIDFILE,
              check(qndx_test::MidiFile({0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 60, 100})));  // 5-byte delta
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({0x00, 0xF0, 0x7F, 0x01})));  // sysex longer than the track
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({0x00, 0xFF, 0x51, 0x02, 1, 2})));  // two-byte tempo
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({0x00, 0x90, 60, 0x80})));  // status where data belongs
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({0x00, 0xF8})));            // real-time byte in a file
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({}, true, 1, 2)));     // two tracks promised, one given
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({}, true, 0, 2)));     // format 0 with two tracks
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(qndx_test::MidiFile({}, true, 0, 1, 0)));  // no ticks per beat
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, check(qndx_test::MidiFile({}, true, 2, 1)));
    EXPECT_EQ(DMUS_E_LOADER_FORMATNOTSUPPORTED, check(qndx_test::MidiFile({}, true, 0, 1, 0xE728)));  // SMPTE

    Bytes longHeader = good;
    longHeader[7] = 0xFF;  // header length past the end of the file
    EXPECT_EQ(DMUS_E_INVALIDFILE, check(longHeader));
}

TEST(MidiCheck, RandomDamageNeverReadsOutsideTheFile) {
    const Bytes good = qndx_test::TwoNoteTune();
    std::mt19937 rng(99);
    for (int round = 0; round < 2000; ++round) {
        Bytes b = good;
        const int hits = 1 + (int)(rng() % 4);
        for (int i = 0; i < hits; ++i) b[rng() % b.size()] = (uint8_t)rng();
        if (rng() % 4 == 0) b.resize(rng() % b.size());
        std::vector<uint8_t> out;
        if (CheckMidiFile(b.data(), b.size(), &out) == S_OK) {
            // Whatever passes must pass again unchanged after the rewrite.
            std::vector<uint8_t> again;
            ASSERT_EQ(S_OK, CheckMidiFile(out.data(), out.size(), &again));
            ASSERT_EQ(out, again);
        }
    }
}

// Every refusal of a wave names what is wrong with it, as the header shows
// it, rather than the symptom a reader meets further on.
TEST(WaveDecode, EachRefusalSaysWhatIsWrong) {
    const Bytes good = qndx_test::WaveFile(22050, 1, 16, {1000}, 100);  // 200 bytes of data at 44
    auto patch16 = [](Bytes b, size_t at, uint32_t v) {
        b[at] = (uint8_t)v;
        b[at + 1] = (uint8_t)(v >> 8);
        return b;
    };
    auto patch32 = [&](Bytes b, size_t at, uint32_t v) { return patch16(patch16(b, at, v & 0xFFFF), at + 2, v >> 16); };
    auto withChunks = [](std::initializer_list<Bytes> chunks) {
        Bytes b;
        qndx_test::PutTag(&b, "RIFF");
        qndx_test::Put32(&b, 0);
        qndx_test::PutTag(&b, "WAVE");
        for (const Bytes& c : chunks) b.insert(b.end(), c.begin(), c.end());
        return b;
    };
    const Bytes format(good.begin() + 12, good.begin() + 36);
    const Bytes dataChunk(good.begin() + 36, good.end());
    const Bytes oddJunk = {'j', 'u', 'n', 'k', 3, 0, 0, 0, 1, 2, 3};
    const Bytes hugeList = {'L', 'I', 'S', 'T', 0xE8, 3, 0, 0};
    // Over 64 Mi samples once at the mix rate: 1.4 M frames at 1000 Hz.
    Bytes tooLong = qndx_test::WaveFile(1000, 1, 8, {200}, 1400000);

    const struct {
        const char* what;
        Bytes file;
        HRESULT code;
        std::vector<std::string> reason;  // every piece must be in the text
    } cases[] = {
        {"not RIFF", patch32(good, 0, 0x58464952), DMUS_E_INVALIDFILE, {"not a RIFF WAVE file"}},
        {"short format", patch32(good, 16, 8), DMUS_E_INVALIDFILE, {"damaged", "format chunk of 8 bytes"}},
        {"format cut", Bytes(good.begin(), good.begin() + 30), DMUS_E_INVALIDFILE,
         {"truncated", "16-byte format chunk passes the end"}},
        {"data first", withChunks({dataChunk, format}), DMUS_E_INVALIDFILE, {"no format chunk before the data"}},
        {"data cut", Bytes(good.begin(), good.end() - 10), DMUS_E_INVALIDFILE,
         {"truncated", "data chunk claims 200 bytes, 190 follow"}},
        {"chunk cut", withChunks({format, hugeList}), DMUS_E_INVALIDFILE, {"truncated", "chunk of 1000 bytes"}},
        {"padding cut", withChunks({format, oddJunk}), DMUS_E_INVALIDFILE, {"truncated", "padding"}},
        {"no data", withChunks({format}), DMUS_E_INVALIDFILE, {"truncated", "no data chunk"}},
        {"no format", withChunks({oddJunk, {0}}), DMUS_E_INVALIDFILE, {"truncated", "no format chunk"}},
        {"RIFF length short of the data", patch32(good, 4, 28), DMUS_E_INVALIDFILE,
         {"damaged", "RIFF length of 28 bytes ends before the data chunk"}},
        {"RIFF length short of the format", patch32(good, 4, 4), DMUS_E_INVALIDFILE,
         {"damaged", "RIFF length of 4 bytes ends before the format chunk"}},
        {"block align 0", patch16(good, 32, 0), DMUS_E_INVALIDFILE, {"damaged", "block align of 0 bytes"}},
        {"block align 3", patch16(good, 32, 3), DMUS_E_INVALIDFILE,
         {"damaged", "block align of 3 bytes", "a frame (1 channel, 16 bits) takes 2"}},
        {"no bits", patch16(good, 34, 0), DMUS_E_INVALIDFILE, {"damaged", "0 bits per sample"}},
        {"unknown encoding", patch16(good, 20, 0x1234), DMUS_E_LOADER_FORMATNOTSUPPORTED,
         {"unsupported format", "0x1234"}},
        {"12-bit PCM", patch16(good, 34, 12), DMUS_E_LOADER_FORMATNOTSUPPORTED, {"unsupported format", "12-bit"}},
        {"too long", tooLong, E_OUTOFMEMORY, {"too large", "67200000 samples"}},
    };
    std::set<std::string> texts;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QndxSetLastErrorText(nullptr);
        std::shared_ptr<PcmData> pcm;
        EXPECT_EQ(c.code, Decode(c.file, &pcm));
        const std::string text = QndxGetLastErrorText();
        for (const std::string& piece : c.reason) EXPECT_NE(std::string::npos, text.find(piece)) << text;
        EXPECT_TRUE(texts.insert(text).second) << "the same text as another case: " << text;
    }
}

namespace {

// Every event of a checked file as (absolute tick, bytes with the status
// made explicit), in playing order: by tick, then track, then place.
std::vector<std::pair<uint64_t, Bytes>> PlayingOrder(const Bytes& file, uint64_t* end) {
    std::vector<std::pair<uint64_t, Bytes>> events;
    auto vlq = [&](size_t* p) {
        uint32_t v = 0;
        uint8_t c;
        do {
            c = file[(*p)++];
            v = v << 7 | (c & 0x7F);
        } while (c & 0x80);
        return v;
    };
    *end = 0;
    for (size_t at = 14; at + 8 <= file.size();) {
        const size_t stop =
            at + 8 + ((size_t)file[at + 4] << 24 | file[at + 5] << 16 | file[at + 6] << 8 | file[at + 7]);
        uint64_t tick = 0;
        uint8_t running = 0;
        for (size_t p = at + 8; p < stop;) {
            tick += vlq(&p);
            const uint8_t status = file[p] & 0x80 ? file[p++] : running;
            const size_t from = p;
            if (status < 0xF0) {
                running = status;
                p += (status & 0xE0) == 0xC0 ? 1 : 2;
            } else {
                running = 0;
                if (status == 0xFF) ++p;
                p += vlq(&p);
            }
            Bytes event{status};
            event.insert(event.end(), file.begin() + (ptrdiff_t)from, file.begin() + (ptrdiff_t)p);
            if (status == 0xFF && event[1] == 0x2F)
                *end = std::max(*end, tick);
            else
                events.push_back({tick, event});
        }
        at = stop;
    }
    std::stable_sort(events.begin(), events.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return events;
}

}  // namespace

// The player takes at most 127 tracks; a file with more comes out of the
// check as one track of format 0 holding every event at its tick, in the
// order the tracks would play them, and ending where the longest track
// ends. Random files: running status, program changes, tempo, system
// exclusive, deltas up to the largest a file can hold.
TEST(MidiCheck, FilesWithMoreTracksThanThePlayerTakesAreMergedEventForEvent) {
    std::mt19937 rng(31);
    for (int round = 0; round < 60; ++round) {
        const unsigned count = round == 0 ? 127 : 128 + rng() % 300;
        std::vector<Bytes> tracks(count);
        for (Bytes& track : tracks) {
            uint8_t running = 0;
            for (int n = (int)(rng() % 5); n > 0; --n) {
                qndx_test::PutDelta(&track, rng() % 3 ? rng() % 50 : rng() % 0x10000000);
                const uint8_t status = (uint8_t)((rng() % 2 ? 0x90 : 0xC0) | rng() % 16);
                switch (rng() % 4) {
                    case 0:
                        track.insert(track.end(), {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
                        running = 0;
                        break;
                    case 1:
                        track.insert(track.end(), {0xF0, 0x02, 0x7E, 0xF7});
                        running = 0;
                        break;
                    default:
                        if (status != running) track.push_back(status);
                        running = status;
                        track.push_back((uint8_t)(rng() % 128));
                        if (status < 0xC0) track.push_back((uint8_t)(rng() % 128));
                }
            }
            // Its own end, some time after its last event (what follows is dropped).
            qndx_test::PutDelta(&track, rng() % 200);
            track.insert(track.end(), {0xFF, 0x2F, 0x00});
        }
        const Bytes file = qndx_test::MultiTrackMidi(tracks);
        std::vector<uint8_t> out;
        ASSERT_EQ(S_OK, CheckMidiFile(file.data(), file.size(), &out)) << round;
        uint64_t fileEnd, outEnd;
        const auto expected = PlayingOrder(file, &fileEnd);
        ASSERT_EQ(expected, PlayingOrder(out, &outEnd)) << round;
        EXPECT_EQ(fileEnd, outEnd) << round;
        const bool merged = count > 127;
        EXPECT_EQ(merged ? 0 : 1, out[9]) << round;  // format
        EXPECT_EQ(merged ? 1u : count, (unsigned)(out[10] << 8 | out[11])) << round;
        std::vector<uint8_t> again;
        ASSERT_EQ(S_OK, CheckMidiFile(out.data(), out.size(), &again));
        ASSERT_EQ(out, again);
    }
}
