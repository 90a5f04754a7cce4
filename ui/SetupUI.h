#pragma once
// The seam between the workflow and what the user sees.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "engine/model/MessageSignal.h"

class iSetupUI {
public:
    // uiFolder: the engine folder with "\setupui" or "\uninstui". Not kept:
    // every UI file comes from the packed UI package.
    explicit iSetupUI(const std::wstring& uiFolder);
    virtual ~iSetupUI();
    iSetupUI(const iSetupUI&) = delete;
    iSetupUI& operator=(const iSetupUI&) = delete;

    // UI to engine. SetupManager connects its OnCommand here.
    std::shared_ptr<MessageSignal> m_pMessageSignal;
    // True once the UI knows that the run ended successfully. Written on the
    // thread that delivers the final status, read after Run returns.
    std::atomic<bool> m_bResult {false};

    // Blocks the calling thread until the UI has finished.
    virtual void Run() = 0;
    // One engine message, on the thread that emitted it.
    virtual void OnEngineMessage(MessagePtr message) = 0;
    // Shows the named page; called once, before Run.
    virtual void ShowPage(const std::wstring& page, const std::wstring& params) = 0;

    // Every connected slot runs on the caller's thread before this returns.
    void SendToEngine(MessagePtr message);
    // The run's start command: sent once the page shown is ready (at once by
    // a UI without pages); never sent when the page failed.
    virtual void StartWhenReady(MessagePtr start) { SendToEngine(std::move(start)); }
    // The page's script has run to its end (native function "PageReady").
    virtual void OnPageReady() { }
};

using SetupUIPtr = std::shared_ptr<iSetupUI>;

// The silent UI, or the HTML-engine UI for mode "install" / "uninstall";
// empty when the UI cannot be created.
SetupUIPtr CreateSetupUI(bool silent, HINSTANCE module, const std::wstring& uiFolder, const std::wstring& mode);
