// Keeps exceptions inside the plug-in: what the host calls answers a plain failure value instead.
#pragma once

#include "platform/debug.h"

// Runs `work` and answers its result, or `failed` when it throws (out of memory, a host callback
// that threw); a trace says so.
template <typename Result, typename Work>
Result NoThrow(Result failed, Work&& work) noexcept {
    try {
        return work();
    } catch (...) {
        try {
            OutputDebugStringA("askgame: an operation failed and was abandoned");
        } catch (...) {
        }
        return failed;
    }
}
