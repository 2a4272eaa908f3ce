// Keeps every frame the host writes, for tests that look at the pictures.
#pragma once

#include <vector>

#include "hosting/frame_io.h"

class CapturingSink final : public hosting::FrameSink {
public:
    bool Put(const hosting::Frame& frame) override {
        frames.push_back(frame);
        return true;
    }
    bool Close(std::string&) override { return true; }
    std::string Where() const override { return "memory"; }
    std::vector<hosting::Frame> frames;
};
