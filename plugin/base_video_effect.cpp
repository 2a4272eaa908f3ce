#include "plugin/base_video_effect.h"

#include "platform/debug.h"

#include "plugin/effect_call_scope.h"
#include "render/text_sprite.h"

thread_local const EffectCallScope* EffectCallScope::innermost_ = nullptr;

BOOL CBaseVideoEffect::Reserved2(int /*value*/, int* result) {
    if (result) *result = 0;
    return TRUE;
}

bool CBaseVideoEffect::RenderAside(CSpriteTextShowBase& draft) {
    return draft.Render() != FALSE;
}

bool CBaseVideoEffect::CanBeDestroyedHere() const {
    return !EffectCallScope::IsRunningHere(this);
}

int DestroyEffect(IVideoEffect* effect) noexcept {
    // Every effect this library hands out is a CBaseVideoEffect, whose destructor is virtual.
    auto* own = static_cast<CBaseVideoEffect*>(effect);
    if (own && !own->CanBeDestroyedHere()) {
        OutputDebugStringA("askgame: an effect cannot be destroyed from inside its own call into "
                           "the host; it stays alive");
        return 0;
    }
    delete own;
    return 1;
}
