#pragma once
// The window-less UI of silent runs: it shows nothing and answers every
// question of the workflow with a fixed default, from inside the message slot.
#include "ui/SetupUI.h"

class CSilentSetupUI : public iSetupUI {
public:
    explicit CSilentSetupUI(const std::wstring& uiFolder);

    // A final status has arrived; written after m_bResult.
    std::atomic<bool> m_bFinished {false};

    // Polls every 100 ms until a final status has arrived.
    void Run() override;
    void OnEngineMessage(MessagePtr message) override;
    void ShowPage(const std::wstring& page, const std::wstring& params) override;
};
