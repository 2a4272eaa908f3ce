#include "plugin/base_video_effect.h"

#include "render/text_sprite.h"

BOOL CBaseVideoEffect::Reserved2(int /*value*/, int* result) {
    if (result) *result = 0;
    return TRUE;
}

bool CBaseVideoEffect::RenderAside(CSpriteTextShowBase& draft) {
    return draft.Render() != FALSE;
}
