// The plug-in's three exported functions, as a host finds them by name.
#pragma once

#include "askgame/video_effect.h"

class IEffPlugInUI;

extern "C" {
using QvCreateVideoEffectFn = IVideoEffect* (*)(const GUID* effectId);
using QvCreateEffectUIFn = IEffPlugInUI* (*)(int mode);
using QvDestroyEffectFn = int (*)(IVideoEffect* effect);
}

inline constexpr const char* kQvCreateVideoEffectName = "QvCreateVideoEffect";
inline constexpr const char* kQvCreateEffectUIName = "QvCreateEffectUI";
inline constexpr const char* kQvDestroyEffectName = "QvDestroyEffect";
