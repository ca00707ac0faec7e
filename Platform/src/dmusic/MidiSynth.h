// MIDI playback through FluidSynth: a bank per performance that loads the
// General MIDI SoundFont once (its samples stay shared while the bank
// lives), and one synthesiser with a file player per playing MIDI segment.
// The player runs on the synthesiser's sample clock, so the output depends
// only on the frames rendered: offline renders are repeatable.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dmusic/Voice.h"
#include "platform/Types.h"

namespace qndx {
namespace platform {
namespace audio {

// Where the SoundFont is looked for: the test panel's choice, else the
// system's General MIDI SoundFont. Empty when none exists.
std::string FindSoundFont();
// FluidSynth built in and a SoundFont present.
bool MidiSupported();

class MidiBank {
public:
    // DMUS_E_DRIVER_FAILED (with a line on stderr) when there is no
    // synthesiser or no usable SoundFont.
    static std::unique_ptr<MidiBank> Open(HRESULT* hr);
    ~MidiBank();

    // A source for one play of the file: 1 + repeats passes (infinite for
    // DMUS_SEG_REPEAT_INFINITE); channel messages on channels at or above
    // `pchannels` are dropped, as on a path with that many channels.
    std::unique_ptr<VoiceSource> CreateSource(const std::shared_ptr<const std::vector<uint8_t>>& midi, DWORD repeats,
                                              DWORD pchannels, HRESULT* hr);

    struct Impl;

private:
    explicit MidiBank(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace audio
}  // namespace platform
}  // namespace qndx
