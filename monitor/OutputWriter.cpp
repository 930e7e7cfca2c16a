#include "monitor/OutputWriter.h"

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace kestrel::monitor {

struct OutputWriter::State {
    int Fd = -1;
    bool Own = false;
    std::string Name;
    size_t Limit = 0;

    std::mutex Mutex;
    std::condition_variable Changed;
    std::string Queue;  // waiting, in order
    size_t Writing = 0; // taken by the thread, not yet written
    bool Stopping = false, Abandoned = false;
    std::string Error;
    std::thread Thread;

    void Run();
    bool WriteAll(const std::string& AText, std::string& AError);
};

bool OutputWriter::State::WriteAll(const std::string& AText, std::string& AError) {
    size_t done = 0;
    while (done < AText.size()) {
        const ssize_t n = ::write(Fd, AText.data() + done, AText.size() - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        AError = "cannot write " + Name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void OutputWriter::State::Run() {
    // A reader that went away is an error of this output, not a signal that ends the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    std::unique_lock lock(Mutex);
    for (;;) {
        Changed.wait(lock, [this] { return !Queue.empty() || Stopping; });
        if (Queue.empty()) return;
        std::string text;
        text.swap(Queue);
        Writing = text.size();
        lock.unlock();
        std::string error;
        const bool ok = WriteAll(text, error);
        lock.lock();
        Writing = 0;
        if (!ok) {
            Error = error;
            Queue.clear();
        }
        Changed.notify_all();
        if (!ok) return;
    }
}

OutputWriter::OutputWriter(int AFd, bool AOwn, std::string AName, size_t ALimit)
    : fState(std::make_shared<State>()) {
    fState->Fd = AFd;
    fState->Own = AOwn;
    fState->Name = std::move(AName);
    fState->Limit = ALimit;
    // The thread keeps the state alive, should it have to be left blocked in a write at the end.
    fState->Thread = std::thread([state = fState] { state->Run(); });
}

OutputWriter::~OutputWriter() {
    if (!Finish(std::chrono::seconds(2))) {
        // Blocked in a write nobody reads: left to end with the program; its descriptor with it.
        std::lock_guard lock(fState->Mutex);
        fState->Abandoned = true;
        fState->Thread.detach();
        return;
    }
    fState->Thread.join();
    if (fState->Own) ::close(fState->Fd);
}

bool OutputWriter::TryPut(std::string_view AText) {
    std::lock_guard lock(fState->Mutex);
    if (!fState->Error.empty() || fState->Stopping) return false;
    if (fState->Queue.size() + fState->Writing + AText.size() > fState->Limit) return false;
    fState->Queue += AText;
    fState->Changed.notify_all();
    return true;
}

void OutputWriter::Put(std::string_view AText) {
    std::lock_guard lock(fState->Mutex);
    if (!fState->Error.empty() || fState->Stopping) return;
    fState->Queue += AText;
    fState->Changed.notify_all();
}

bool OutputWriter::Finish(std::chrono::milliseconds ATimeout) {
    std::unique_lock lock(fState->Mutex);
    if (fState->Abandoned) return false;
    fState->Stopping = true;
    fState->Changed.notify_all();
    return fState->Changed.wait_for(lock, ATimeout, [this] {
        return (fState->Queue.empty() && fState->Writing == 0) || !fState->Error.empty();
    });
}

std::string OutputWriter::Error() const {
    std::lock_guard lock(fState->Mutex);
    return fState->Error;
}

size_t OutputWriter::Waiting() const {
    std::lock_guard lock(fState->Mutex);
    return fState->Queue.size() + fState->Writing;
}

} // namespace kestrel::monitor
