// A worker thread with pipe-based start, stop and wake signalling and a choice of
// scheduling priority. Subclasses put their body in Run and poll IsStopRequested or wait
// through Wait, so that Stop ends them. Worker threads never touch the user interface;
// they post to the main thread (LMainThreadPoster).
#pragma once

#include <poll.h>
#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace tw {

// A pipe used as a signal: both ends non-blocking and close-on-exec. Any thread.
class LPipe {
  public:
    LPipe();
    ~LPipe();
    LPipe(const LPipe&) = delete;
    LPipe& operator=(const LPipe&) = delete;

    bool IsValid() const { return fds_[0] >= 0; }
    int ReadFd() const { return fds_[0]; }

    // Writes one byte.
    void Signal();
    // Reads until empty; an interrupted read is retried.
    void Drain();
    // Waits up to ms (-1: no limit) until readable. A wait interrupted by a signal counts
    // as readable.
    bool Wait(int ms) const;
    // Readable right now.
    bool IsSignalled() const;

  private:
    int fds_[2] = {-1, -1};
};

class LThread {
  public:
    // The name is for the reader of the code; it is not stored.
    explicit LThread(const char* name);

    // Any thread. True when a stop has been asked for (polled, no waiting).
    virtual bool IsStopRequested();
    // Worker thread. Waits up to ms for the stop or the finished signal; true when one
    // came.
    virtual bool WaitForStopOrFinish(int ms);
    // Worker thread. Waits until `pipe` or the stop pipe is readable or ms pass (-1: no
    // limit): 1 = stop requested, 0 = `pipe` is readable, 2 = time-out, error or
    // interruption.
    virtual int Wait(const LPipe& pipe, int ms);
    // The same over descriptors the caller prepared (all polled for reading); the stop
    // pipe is added. 0 means one of `fds` is readable (see their revents).
    virtual int Wait(std::vector<pollfd>& fds, int ms);

    // Stops the thread, closes the pipes. A subclass whose Run uses its own members must
    // Stop in its own destructor, before those members go.
    virtual ~LThread();
    LThread(const LThread&) = delete;
    LThread& operator=(const LThread&) = delete;

    // The thread body.
    virtual void Run() = 0;

    // Controlling thread. Starts the thread unless it is already running, and returns
    // once the thread runs. A finished thread is joined first, so an object can be
    // started again.
    void Start(int priority);
    // Controlling thread. Asks the thread to stop and joins it; the join result, 0 when
    // there was no thread.
    int Stop();
    // 91 selects a real-time policy (SCHED_RR at a modest priority when the process is
    // permitted one, else silently the standard policy); any other value the standard
    // policy, whose only static priority on Linux is 0.
    void SetPriority(int value);

    // Sleeps ms milliseconds, resuming after interruptions by signals.
    static void Sleep(int ms);

    bool IsRunning() const { return running_; }
    int Priority() const { return priority_; }
    // Kernel id of the running thread, -1 when none.
    pid_t ThreadId() const { return tid_; }

  private:
    static void* Body(void* self);
    // With start_mutex_ held.
    void ApplyPriority(int value);

    pthread_t handle_{};
    bool has_handle_ = false;  // under start_mutex_
    std::atomic<pid_t> tid_{-1};
    std::atomic<int> priority_{0};
    std::atomic<bool> running_{false};
    LPipe stop_;
    LPipe finished_;
    LPipe started_;
    std::mutex start_mutex_;
};

}  // namespace tw
