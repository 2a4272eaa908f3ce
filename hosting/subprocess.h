// A child program joined to the host by one pipe: the host writes its input or reads its
// output. What it says on stderr is kept in a file so it can be shown when it fails.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hosting {

class Subprocess {
public:
    enum class Pipe { ToChild, FromChild };

    Subprocess() = default;
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;
    // Closes the pipe and waits for the child.
    ~Subprocess();

    // Starts `argv[0]` (looked up in PATH). False, with `error` set, when it cannot start.
    bool Start(const std::vector<std::string>& argv, Pipe pipe, std::string& error);

    // Writes all of `size` bytes; false when the child has gone.
    bool Write(const void* data, std::size_t size);
    // Reads exactly `size` bytes; false at the end of the output or on an error.
    bool ReadExactly(void* data, std::size_t size);
    // Reads what is there, at most `size` bytes, waiting for at least one; 0 at the end of the
    // output or on an error.
    std::size_t ReadSome(void* data, std::size_t size);

    // Closes the pipe, waits for the child and answers its exit status (-1 when it did not
    // exit normally).
    int Finish();
    // Ends the child at once (SIGKILL), from any thread: a read or write blocked on its pipe
    // then returns. Finish() still reaps it.
    void Kill();
    // What the child wrote to stderr, trimmed to its last lines.
    std::string ErrorText() const;

private:
    std::atomic<pid_t> pid_{-1};
    int fd_ = -1;
    std::string stderrPath_;
};

// True when `program` is found in PATH and can be run.
bool ProgramAvailable(const std::string& program);

} // namespace hosting
