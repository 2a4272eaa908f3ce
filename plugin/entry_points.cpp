// The plug-in's whole outer surface: three plain C functions a host finds by name. Nothing
// thrown inside the plug-in crosses them.
#include <new>

#include "askgame/effect_ids.h"
#include "askgame/effect_panel.h"
#include "askgame/exports.h"
#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "ui/challenge_mode_ui.h"
#include "ui/free_mode_ui.h"

#define ASKGAME_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Runs `make`, answering null instead of letting an exception (out of memory) reach the host.
template <typename Make>
auto NullOnFailure(Make make) noexcept -> decltype(make()) {
    try {
        return make();
    } catch (...) {
        return nullptr;
    }
}

} // namespace

// A new effect for the id, compared with the challenge game's first; null for any other id.
ASKGAME_EXPORT IVideoEffect* QvCreateVideoEffect(const GUID* effectId) {
    return NullOnFailure([&]() -> IVideoEffect* {
        if (!effectId) return nullptr;
        if (*effectId == CLSID_ChallengeGame) return new CChallengeGameImpl;
        if (*effectId == CLSID_FreeModeGame) return new CFreeModeImpl;
        return nullptr;
    });
}

// A new panel: 1 the free-mode panel, 2 the challenge panel, null otherwise. The host deletes it
// through its virtual destructor.
ASKGAME_EXPORT IEffPlugInUI* QvCreateEffectUI(int mode) {
    return NullOnFailure([&]() -> IEffPlugInUI* {
        if (mode == kChallengePanel) return new CChallengeModeUI;
        if (mode == kFreeModePanel) return new CFreeModeUI;
        return nullptr;
    });
}

// Destroys an effect made by QvCreateVideoEffect; null is accepted. 1; 0, with the effect left
// alive, when called from inside one of the plug-in's own calls into the host that the
// destruction would run under or wait on (see askgame/exports.h).
ASKGAME_EXPORT int QvDestroyEffect(IVideoEffect* effect) {
    return DestroyEffect(effect);
}
