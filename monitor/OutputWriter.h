#pragma once
#include <chrono>
#include <memory>
#include <string>
#include <string_view>

namespace kestrel::monitor {

// Writes one output's text on a thread of its own, behind a queue of bounded size, so that a
// reader that stalls (a paused pager, Ctrl-S in a terminal, a full pipe, a slow disk) holds up
// nothing but that output. A thread rather than non-blocking writes: standard output's file
// description is shared with the shell, which must not find it non-blocking afterwards, and
// poll() says nothing about a regular file whose disk is slow.
class OutputWriter {
public:
    // AFd is closed at the end when AOwn. ALimit: how many bytes may wait to be written.
    OutputWriter(int AFd, bool AOwn, std::string AName, size_t ALimit);
    ~OutputWriter();
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    // Queues AText when it fits in what may wait; false (nothing queued) when it does not, or
    // once writing failed.
    bool TryPut(std::string_view AText);
    // Queues AText whatever is waiting (the last words of a session).
    void Put(std::string_view AText);
    // Waits, at most ATimeout, until everything queued is written; false when it was not.
    bool Finish(std::chrono::milliseconds ATimeout);
    // "cannot write NAME: REASON" once a write failed, else empty.
    std::string Error() const;
    // Bytes queued and not yet written.
    size_t Waiting() const;

private:
    struct State;
    std::shared_ptr<State> fState;
};

} // namespace kestrel::monitor
