#include "ui/SetupUI.h"

#include <utility>

iSetupUI::iSetupUI(const std::wstring& /*uiFolder*/) : m_pMessageSignal(std::make_shared<MessageSignal>()) { }

iSetupUI::~iSetupUI() = default;

void iSetupUI::SendToEngine(MessagePtr message)
{
    (*m_pMessageSignal)(std::move(message));
}
