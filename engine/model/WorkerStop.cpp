#include "engine/model/WorkerStop.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

// Plain pointers: thread_local objects with destructors are not reliable
// with this toolchain's emulated TLS, so the scope owns what they point to.
thread_local const WorkerStopSignal* t_stopSignal = nullptr;
thread_local const std::stop_token* t_stopToken = nullptr;
thread_local const SleepHookScope::Hook* t_sleepHook = nullptr;

}  // namespace

WorkerStopScope::WorkerStopScope(std::shared_ptr<WorkerStopSignal> signal)
    : m_signal(std::move(signal)), m_previousSignal(t_stopSignal), m_previousToken(t_stopToken)
{
    t_stopSignal = m_signal.get();
    t_stopToken = nullptr;
}

WorkerStopScope::WorkerStopScope(std::stop_token token)
    : m_token(std::move(token)), m_previousSignal(t_stopSignal), m_previousToken(t_stopToken)
{
    t_stopSignal = nullptr;
    t_stopToken = &m_token;
}

WorkerStopScope::~WorkerStopScope()
{
    t_stopSignal = m_previousSignal;
    t_stopToken = m_previousToken;
}

SleepHookScope::SleepHookScope(Hook hook) : m_hook(std::move(hook)), m_previous(t_sleepHook)
{
    t_sleepHook = &m_hook;
}

SleepHookScope::~SleepHookScope()
{
    t_sleepHook = m_previous;
}

bool WorkerStopRequested()
{
    if (t_stopSignal)
        return t_stopSignal->Requested();
    return t_stopToken && t_stopToken->stop_requested();
}

void InterruptionPoint()
{
    if (WorkerStopRequested())
        throw WorkerStopped();
}

void InterruptibleSleep(std::chrono::milliseconds duration)
{
    InterruptionPoint();
    if (t_sleepHook) {
        (*t_sleepHook)(duration);
        InterruptionPoint();
        return;
    }
    if (t_stopSignal) {
        if (t_stopSignal->WaitFor(duration))
            throw WorkerStopped();
        return;
    }
    if (!t_stopToken) {
        std::this_thread::sleep_for(duration);
        return;
    }
    // A token is polled rather than waited on: no stop callback is registered.
    const auto end = std::chrono::steady_clock::now() + duration;
    for (;;) {
        InterruptionPoint();
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            return;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(10)));
    }
}
