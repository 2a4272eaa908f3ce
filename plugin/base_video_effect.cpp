#include "plugin/base_video_effect.h"

BOOL CBaseVideoEffect::Reserved2(int /*value*/, int* result) {
    if (result) *result = 0;
    return TRUE;
}
