#pragma once
// Stop requests for the worker thread. A stop request is seen only at the
// interruption points below; there the worker leaves by WorkerStopped, which
// the top of the worker thread catches. On any other thread the points never
// throw and the sleep simply sleeps.
#include <chrono>
#include <stop_token>

struct WorkerStopped {};

// Binds the calling thread to a stop token for its lifetime (or until reset).
class WorkerStopScope {
public:
    explicit WorkerStopScope(std::stop_token token);
    ~WorkerStopScope();
    WorkerStopScope(const WorkerStopScope&) = delete;
    WorkerStopScope& operator=(const WorkerStopScope&) = delete;

private:
    std::stop_token m_previous;
};

// Whether the calling worker thread has been asked to stop.
bool WorkerStopRequested();
// Throws WorkerStopped when the calling worker thread has been asked to stop.
void InterruptionPoint();
// Sleeps, waking early and throwing WorkerStopped on a stop request.
void InterruptibleSleep(std::chrono::milliseconds duration);
