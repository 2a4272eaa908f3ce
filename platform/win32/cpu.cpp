// Processor features, as the system reports them.
#include "platform/cpu.h"

#include "platform/win32/native.h"

BOOL IsProcessorFeaturePresent(DWORD feature) {
    return native::IsProcessorFeaturePresent(feature) ? TRUE : FALSE;
}
