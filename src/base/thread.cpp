#include "base/thread.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/core/thread_priority.h"

namespace tw {

// ---------------------------------------------------------------------------------------
// LPipe

LPipe::LPipe() {
    if (pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
}

LPipe::~LPipe() {
    if (fds_[0] >= 0) close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
}

void LPipe::Signal() {
    if (fds_[1] < 0) return;
    const char byte = 1;
    ssize_t n;
    do {
        n = write(fds_[1], &byte, 1);
    } while (n < 0 && errno == EINTR);
    // A full pipe (EAGAIN) already holds a signal.
}

void LPipe::Drain() {
    if (fds_[0] < 0) return;
    char buf[64];
    for (;;) {
        const ssize_t n = read(fds_[0], buf, sizeof buf);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        break;
    }
}

bool LPipe::Wait(int ms) const {
    if (fds_[0] < 0) return false;
    pollfd p{fds_[0], POLLIN, 0};
    const int r = poll(&p, 1, ms);
    if (r < 0) return errno == EINTR;
    return r > 0;
}

bool LPipe::IsSignalled() const {
    return Wait(0);
}

// ---------------------------------------------------------------------------------------
// LThread

LThread::LThread(const char*) {}

LThread::~LThread() {
    Stop();
}

bool LThread::IsStopRequested() {
    return stop_.IsSignalled();
}

bool LThread::WaitForStopOrFinish(int ms) {
    pollfd p[2] = {{stop_.ReadFd(), POLLIN, 0}, {finished_.ReadFd(), POLLIN, 0}};
    const int r = poll(p, 2, ms);
    return r > 0;
}

int LThread::Wait(const LPipe& pipe, int ms) {
    pollfd p[2] = {{pipe.ReadFd(), POLLIN, 0}, {stop_.ReadFd(), POLLIN, 0}};
    const int r = poll(p, 2, ms);
    if (r <= 0) return 2;
    if (p[1].revents & POLLIN) return 1;
    if (p[0].revents & (POLLIN | POLLHUP)) return 0;
    return 2;
}

int LThread::Wait(std::vector<pollfd>& fds, int ms) {
    fds.push_back({stop_.ReadFd(), POLLIN, 0});
    const int r = poll(fds.data(), fds.size(), ms);
    const bool stop = r > 0 && (fds.back().revents & POLLIN);
    fds.pop_back();
    if (r <= 0) return 2;
    return stop ? 1 : 0;
}

void* LThread::Body(void* self) {
    auto* t = static_cast<LThread*>(self);
    t->tid_ = gettid();
    t->started_.Signal();
    t->Run();
    // The handle stays until Stop or the next Start joins the thread.
    t->running_ = false;
    t->tid_ = -1;
    t->finished_.Signal();
    return nullptr;
}

void LThread::Start(int priority) {
    std::lock_guard<std::mutex> lock(start_mutex_);
    if (has_handle_) {
        if (running_) return;
        pthread_join(handle_, nullptr);
        has_handle_ = false;
        tid_ = -1;
    }
    stop_.Drain();
    finished_.Drain();
    started_.Drain();
    running_ = true;
    priority_ = priority;
    if (pthread_create(&handle_, nullptr, &LThread::Body, this) != 0) {
        // Cleared, so that a later Start tries again instead of returning at once.
        running_ = false;
        return;
    }
    has_handle_ = true;
    while (!started_.Wait(-1)) {
    }
    ApplyPriority(priority);
}

int LThread::Stop() {
    std::lock_guard<std::mutex> lock(start_mutex_);
    if (!has_handle_) return 0;
    stop_.Signal();
    WaitForStopOrFinish(-1);
    const int r = pthread_join(handle_, nullptr);
    has_handle_ = false;
    tid_ = -1;
    return r;
}

void LThread::SetPriority(int value) {
    // The thread itself may change its priority while another thread stops it and, holding
    // the start lock, waits to join it: it must not wait for that lock.
    if (tid_ == gettid()) {
        priority_ = value;
        platform::SetThreadPriority(pthread_self(), value);
        return;
    }
    std::lock_guard<std::mutex> lock(start_mutex_);
    ApplyPriority(value);
}

void LThread::ApplyPriority(int value) {
    priority_ = value;
    if (has_handle_) platform::SetThreadPriority(handle_, value);
}

void LThread::Sleep(int ms) {
    if (ms <= 0) return;
    timespec req{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    timespec rem{};
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

}  // namespace tw
