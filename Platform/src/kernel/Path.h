// The one translation from engine-style paths (".\debug", "bin.\sounds") to
// host paths. Every call of the layer that touches the file system passes its
// path through here first; the declaration is public so the engine's own
// standard-library opens use it too.
#pragma once

#include "platform/HostPath.h"
