#pragma once
// Stop requests for the worker thread. A stop request is seen only at the
// interruption points below; there the worker leaves by WorkerStopped, which
// the top of the worker thread catches. On any other thread the points never
// throw and the sleep simply sleeps.
#include <chrono>
#include <functional>
#include <memory>
#include <stop_token>

#include "common/Win32Sync.h"

struct WorkerStopped { };

// The stop request of one worker thread, shared by its owner and the thread.
class WorkerStopSignal {
public:
    void Request() { m_event.Set(); }
    bool Requested() const { return m_event.IsSet(); }
    // True when a stop was requested within the time.
    bool WaitFor(std::chrono::milliseconds duration) const { return m_event.WaitFor(duration); }

private:
    CManualEvent m_event;
};

// Binds the calling thread to a stop signal (or to a stop token) while it lives.
class WorkerStopScope {
public:
    explicit WorkerStopScope(std::shared_ptr<WorkerStopSignal> signal);
    explicit WorkerStopScope(std::stop_token token);
    ~WorkerStopScope();
    WorkerStopScope(const WorkerStopScope&) = delete;
    WorkerStopScope& operator=(const WorkerStopScope&) = delete;

private:
    std::shared_ptr<WorkerStopSignal> m_signal;
    std::stop_token m_token;
    const WorkerStopSignal* m_previousSignal;
    const std::stop_token* m_previousToken;
};

// Whether the calling worker thread has been asked to stop.
bool WorkerStopRequested();
// Throws WorkerStopped when the calling worker thread has been asked to stop.
void InterruptionPoint();
// Sleeps, waking early and throwing WorkerStopped on a stop request.
void InterruptibleSleep(std::chrono::milliseconds duration);

// While it lives, InterruptibleSleep on the calling thread hands its duration
// to the hook instead of sleeping (the interruption points stay), so a test
// sees every poll interval and can change the world in place of the wait.
class SleepHookScope {
public:
    using Hook = std::function<void(std::chrono::milliseconds)>;
    explicit SleepHookScope(Hook hook);
    ~SleepHookScope();
    SleepHookScope(const SleepHookScope&) = delete;
    SleepHookScope& operator=(const SleepHookScope&) = delete;

private:
    Hook m_hook;
    const Hook* m_previous;
};
