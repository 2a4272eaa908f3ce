// Debugger output: to the installed sink, else to the system's debugger channel.
#include "platform/debug.h"

#include <mutex>

#include "platform/win32/native.h"

namespace {

std::mutex sinkMutex;
IDebugOutputSink* installedSink = nullptr;

} // namespace

IDebugOutputSink* SetDebugOutputSink(IDebugOutputSink* sink) {
    std::lock_guard lock(sinkMutex);
    IDebugOutputSink* previous = installedSink;
    installedSink = sink;
    return previous;
}

void OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    std::lock_guard lock(sinkMutex);
    if (installedSink)
        installedSink->WriteAnsi(text);
    else
        native::OutputDebugStringA(text);
}

void OutputDebugStringW(LPCWSTR text) {
    if (!text) return;
    std::lock_guard lock(sinkMutex);
    if (installedSink)
        installedSink->WriteWide(text);
    else
        native::OutputDebugStringW(text);
}
