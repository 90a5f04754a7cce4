#pragma once
// Records the messages of a signal, from any thread.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/model/MessageSignal.h"

class MessageRecorder {
public:
    explicit MessageRecorder(MessageSignal& signal)
        : m_connection(signal.connect([this](MessagePtr message) { Record(message); }))
    {
    }
    ~MessageRecorder() { m_connection.disconnect(); }

    // Runs inside the slot, on the sender's thread, after recording.
    std::function<void(const Json::Value&)> onMessage;

    std::vector<Json::Value> Messages() const
    {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_messages;
    }
    std::vector<std::string> Types() const
    {
        std::vector<std::string> types;
        for (const Json::Value& m : Messages())
            types.push_back(m["type"].asString());
        return types;
    }
    // Waits until `count` messages have arrived; false after the timeout.
    bool WaitForCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        std::unique_lock<std::mutex> hold(m_lock);
        return m_arrived.wait_for(hold, timeout, [&] { return m_messages.size() >= count; });
    }

private:
    void Record(const MessagePtr& message)
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_messages.push_back(*message);
        }
        m_arrived.notify_all();
        if (onMessage)
            onMessage(*message);
    }

    mutable std::mutex m_lock;
    mutable std::condition_variable m_arrived;
    std::vector<Json::Value> m_messages;
    boost::signals2::scoped_connection m_connection;
};

// Polls a condition; false when it has not become true within the timeout.
inline MessagePtr Command(const char* type)
{
    return MakeMessage(type);
}
