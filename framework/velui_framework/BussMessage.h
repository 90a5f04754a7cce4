#pragma once
// The records that carry an engine message, or the result of an asynchronous
// native call, through a window's queue. The poster allocates the record; the
// window procedure that handles the message frees it. A record whose post
// fails is freed by the poster.
#include <windows.h>

#include <cstdint>
#include <string>

namespace velui {

struct BussMessage {
    BussMessage(std::string type, std::string body);
    ~BussMessage();
    BussMessage(const BussMessage&) = delete;
    BussMessage& operator=(const BussMessage&) = delete;
    std::string type;
    std::string body;
};

struct BussCallbackMessage {
    BussCallbackMessage(uint32_t id, std::string body);
    ~BussCallbackMessage();
    BussCallbackMessage(const BussCallbackMessage&) = delete;
    BussCallbackMessage& operator=(const BussCallbackMessage&) = delete;
    uint32_t id;
    std::string body;
};

// Records alive in the process, of both kinds (ownership checks in tests).
long LiveMessageRecords();

// The registered window messages, registered on first use.
UINT MsgFromBussRoot();      // "MESSAGE_FROM_BUSS_1": to the root window
UINT MsgFromBuss();          // "MESSAGE_FROM_BUSS": to one page window
UINT MsgFromBussCallback();  // "MESSAGE_FROM_BUSS_CB"

// Posts a fresh record; frees it when the post fails. False on failure.
bool PostBussMessage(HWND window, UINT message, const std::string& type, const std::string& body);

// Frees the records still queued for a window that is being destroyed (the
// system drops its posted messages with it).
void DropQueuedRecords(HWND window);

}  // namespace velui
