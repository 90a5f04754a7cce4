#pragma once
// Shared by the page-UI tests: a UI that records what pages send to the
// engine, and the records the stand-in logging library received.
#include <mutex>
#include <string>
#include <vector>

#include "ui/SetupUI.h"

class RecordingUi : public iSetupUI {
public:
    RecordingUi();
    void Run() override { }
    void OnEngineMessage(MessagePtr) override { }
    void ShowPage(const std::wstring&, const std::wstring&) override { }
    std::vector<std::string> Sent();  // "type" or "type:action" of each message

private:
    std::mutex m_lock;
    std::vector<Json::Value> m_sent;
};

// Loads the stand-in vellog.dll from the test's folder (once).
void LoadFakeLog();
// The log records since the last call, one per line: "level|tag|text".
std::vector<std::wstring> TakeLogRecords();
// The assertion records among them, as "text @ file(line)".
std::vector<std::wstring> TakeAssertions();
// Runs the thread's messages for about `ms` milliseconds.
void PumpFor(int ms);
