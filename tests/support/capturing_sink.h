// Keeps every frame the host writes, for tests that look at the pictures.
#pragma once

#include <vector>

#include "host/frame_io.h"

class CapturingSink final : public host::FrameSink {
public:
    bool Put(const host::Frame& frame) override {
        frames.push_back(frame);
        return true;
    }
    bool Close(std::string&) override { return true; }
    std::string Where() const override { return "memory"; }
    std::vector<host::Frame> frames;
};
