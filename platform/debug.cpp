#include "platform/debug.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/utf.h"

namespace {

std::mutex sinkMutex;
IDebugOutputSink* installedSink = nullptr;

bool StderrRequested() {
    const char* flag = std::getenv("ASKGAME_DEBUG");
    return flag && *flag && std::strcmp(flag, "0") != 0;
}

// One trace per line, so that consecutive traces stay apart.
void WriteLine(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    if (bytes.empty() || bytes.back() != '\n') std::fputc('\n', stderr);
}

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
    else if (StderrRequested())
        WriteLine(text);
}

void OutputDebugStringW(LPCWSTR text) {
    if (!text) return;
    std::lock_guard lock(sinkMutex);
    if (installedSink)
        installedSink->WriteWide(text);
    else if (StderrRequested())
        WriteLine(Utf16ToUtf8(text));
}
