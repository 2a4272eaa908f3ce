// Numbered PNG frames in a folder: frame-000001.png, frame-000002.png, ...
//
// Compressing a PNG costs several times what encoding a video frame does, so a pool of writer
// threads compresses frames side by side. Put() copies the frame into a free buffer of a fixed
// set and returns at once; it waits only while every buffer is still being written. Nothing is
// allocated per frame once each buffer has held one frame.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "hosting/frame_io.h"

namespace hosting {

class PngSequenceSink final : public FrameSink {
public:
    // `writers`: threads compressing at once; 0: one per core.
    explicit PngSequenceSink(std::string folder, unsigned writers = 0);
    PngSequenceSink(const PngSequenceSink&) = delete;
    PngSequenceSink& operator=(const PngSequenceSink&) = delete;
    // Writes what is still waiting and stops the writers.
    ~PngSequenceSink() override;

    // False once any frame could not be written; Close() tells why.
    bool Put(const Frame& frame) override;
    // Waits until every frame is written; false, with the first failure, when one was not.
    // Idempotent.
    bool Close(std::string& error) override;
    std::string Where() const override { return folder_; }

private:
    struct Slot {
        long number = 0;
        Frame frame;
    };

    void WriteUntilClosed();
    std::string PathOf(long number) const;

    const std::string folder_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::size_t> free_;   // slots ready for Put
    std::vector<std::size_t> queued_; // a ring of slots waiting for a writer
    std::size_t head_ = 0;            // the ring's oldest entry
    std::size_t waiting_ = 0;         // entries in the ring
    long count_ = 0;
    bool closing_ = false;
    std::string error_; // the first failure
    std::vector<std::thread> writers_;
};

} // namespace hosting
