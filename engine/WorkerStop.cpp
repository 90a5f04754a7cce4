#include "engine/WorkerStop.h"

#include <condition_variable>
#include <mutex>

namespace {

thread_local std::stop_token t_stopToken;

}  // namespace

WorkerStopScope::WorkerStopScope(std::stop_token token) : m_previous(t_stopToken)
{
    t_stopToken = std::move(token);
}

WorkerStopScope::~WorkerStopScope()
{
    t_stopToken = std::move(m_previous);
}

bool WorkerStopRequested()
{
    return t_stopToken.stop_requested();
}

void InterruptionPoint()
{
    if (t_stopToken.stop_requested())
        throw WorkerStopped();
}

void InterruptibleSleep(std::chrono::milliseconds duration)
{
    InterruptionPoint();
    std::mutex lock;
    std::condition_variable_any wake;
    std::unique_lock<std::mutex> hold(lock);
    wake.wait_for(hold, t_stopToken, duration, [] { return false; });
    InterruptionPoint();
}
