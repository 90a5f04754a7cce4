#include "engine/WorkerStop.h"

#include <thread>

namespace {

// A plain pointer: thread_local objects with destructors are not reliable
// with this toolchain's emulated TLS, so the signal is owned by the scope.
thread_local const WorkerStopSignal* t_stopSignal = nullptr;

}  // namespace

WorkerStopScope::WorkerStopScope(std::shared_ptr<WorkerStopSignal> signal)
    : m_signal(std::move(signal)), m_previous(t_stopSignal)
{
    t_stopSignal = m_signal.get();
}

WorkerStopScope::~WorkerStopScope()
{
    t_stopSignal = m_previous;
}

bool WorkerStopRequested()
{
    return t_stopSignal && t_stopSignal->Requested();
}

void InterruptionPoint()
{
    if (WorkerStopRequested())
        throw WorkerStopped();
}

void InterruptibleSleep(std::chrono::milliseconds duration)
{
    InterruptionPoint();
    if (!t_stopSignal) {
        std::this_thread::sleep_for(duration);
        return;
    }
    if (t_stopSignal->WaitFor(duration))
        throw WorkerStopped();
}
