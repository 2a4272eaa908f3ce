// Debugger output for diagnostic traces.
//
// Traces go to a sink the host installs. Without one they are dropped, unless the environment
// variable ASKGAME_DEBUG is set (to anything but "0"); then they go to stderr, one per line.
#pragma once

#include <string_view>

#include "platform/wintypes.h"

// Receives every trace. Calls are serialised; the sink must not trace itself.
class IDebugOutputSink {
public:
    virtual ~IDebugOutputSink() = default;
    // Bytes as the caller wrote them, in whatever code page it used (the traces use 936).
    virtual void WriteAnsi(std::string_view bytes) = 0;
    virtual void WriteWide(std::u16string_view text) = 0;
};

// Installs `sink` (not owned; null restores the default) and returns the one it replaces.
IDebugOutputSink* SetDebugOutputSink(IDebugOutputSink* sink);

void OutputDebugStringA(LPCSTR text);
void OutputDebugStringW(LPCWSTR text);
