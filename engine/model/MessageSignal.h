#pragma once
// The message channel between the engine and its UI: one signal per
// direction, each slot taking one shared JSON object with a "type" field.
// Every slot runs on the sender's thread before the send returns.
#include <json/json.h>

#include <boost/signals2/signal.hpp>

#include <memory>

using MessagePtr = std::shared_ptr<Json::Value>;
using MessageSignal = boost::signals2::signal<void(MessagePtr)>;

// A new message object {"type": type}.
inline MessagePtr MakeMessage(const char* type)
{
    auto message = std::make_shared<Json::Value>(Json::objectValue);
    (*message)["type"] = type;
    return message;
}
