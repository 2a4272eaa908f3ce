// The plug-in's three exported functions, as a host finds them by name.
#pragma once

#include "askgame/video_effect.h"

class IEffPlugInUI;

// Threads and callbacks. The plug-in never calls the host while it holds a lock of its own, so
// from inside any of its calls into the host (IAudienceSource, a message box) the host may call
// the effects and panels again, on the same thread or another. Two things it must not do there,
// on the thread that is inside the call:
//   - QvDestroyEffect of the effect making the call, or of the challenge effect that bound the
//     audience source while any challenge effect's call is in progress: the effect would be
//     freed under its running operation, or its destruction would wait for that call to end. QvDestroyEffect answers 0, leaves the
//     effect alive and traces why; destroy it once the call has returned.
//   - SetAudienceSource on a challenge effect: binding waits for the calls on the old source to
//     end. The source stays as it was, and a trace says so.
extern "C" {
using QvCreateVideoEffectFn = IVideoEffect* (*)(const GUID* effectId);
using QvCreateEffectUIFn = IEffPlugInUI* (*)(int mode);
using QvDestroyEffectFn = int (*)(IVideoEffect* effect);
}

inline constexpr const char* kQvCreateVideoEffectName = "QvCreateVideoEffect";
inline constexpr const char* kQvCreateEffectUIName = "QvCreateEffectUI";
inline constexpr const char* kQvDestroyEffectName = "QvDestroyEffect";
