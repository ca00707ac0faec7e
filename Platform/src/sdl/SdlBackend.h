// The SDL backends' factories, for the backend choice (sdl/BackendChoice.cpp).
#pragma once

#include <memory>
#include <string>

#include "ddraw/DisplayWindow.h"
#include "dinput/Controllers.h"
#include "dmusic/AudioOutput.h"
#include "user/WindowBackend.h"

namespace qndx {
namespace platform {

// The window backend on SDL video, and in *display its DirectDraw display
// window (owned by the backend); null when SDL video cannot start.
std::unique_ptr<WindowBackend> CreateSdlWindowBackend(DisplayWindow** display);

// The game controllers on SDL's joysticks; null, with SDL's reason in *why,
// when its joystick subsystem cannot start.
std::unique_ptr<dinput::ControllerBackend> CreateSdlControllerBackend(std::string* why);

// An audio device pulling from source; null when SDL has none to give. *note
// says why not, or which driver plays.
std::unique_ptr<audio::AudioOutput> OpenSdlAudioOutput(audio::FrameSource* source, int rate, std::string* note);

}  // namespace platform
}  // namespace qndx
