// Test control of audio: offline rendering, so that a test decides exactly
// how much sound is mixed and reads the mix back, independent of real time.
// While offline, no performance has a running output; each one advances
// only through RenderAudio. Reset() turns offline rendering off (running
// performances go back to their real-time output) and forgets the
// SoundFont choice.
//
// DirectMusic calls honour FailNext by their interface names, such as
// "IDirectMusicPerformance8::InitAudio", "IDirectMusicLoader8::LoadObjectFromFile",
// "IDirectMusicSegment8::Download" or "IDirectSound3DBuffer::SetMaxDistance".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qndx {
namespace sim {

// The mixer's rate: frames per second of every mix.
constexpr int kAudioSampleRate = 48000;

void SetAudioOffline(bool offline);
bool AudioOffline();

// Mixes `frames` frames on every initialised performance and returns their
// sum as interleaved stereo floats (left, right), unclipped: what the
// speakers would get. Silence when no performance is initialised. Only
// while offline; otherwise empty.
std::vector<float> RenderAudio(size_t frames);

// Performances between InitAudio and CloseDown (or their release).
int LivePerformances();
// "offline", "null" or "sdl" for the performance initialised last; empty
// without one.
std::string AudioOutputName();

// The SoundFont for MIDI, read when a MIDI segment is first downloaded to a
// performance; empty goes back to the default (the General MIDI SoundFont
// of the system).
void SetSoundFont(const char* path);
std::string SoundFontPath();
// True when MIDI can play: FluidSynth is built in and the SoundFont exists.
bool MidiAvailable();

}  // namespace sim
}  // namespace qndx
