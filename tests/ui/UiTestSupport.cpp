#include "tests/ui/UiTestSupport.h"

#include <windows.h>

#include "tests/support/TestSupport.h"

RecordingUi::RecordingUi() : iSetupUI(L"")
{
    m_pMessageSignal->connect([this](MessagePtr message) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sent.push_back(*message);
    });
}

std::vector<std::string> RecordingUi::Sent()
{
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::string> out;
    for (const auto& m : m_sent) {
        std::string text = m["type"].asString();
        if (m.isMember("action"))
            text += ":" + m["action"].asString();
        out.push_back(text);
    }
    return out;
}

void LoadFakeLog()
{
    static HMODULE module = ::LoadLibraryW((TestExeDirectory() + L"vellog.dll").c_str());
    (void)module;
}

std::vector<std::wstring> TakeLogRecords()
{
    using TakeFn = int(WINAPI*)(wchar_t*, int);
    HMODULE module = ::GetModuleHandleW(L"vellog.dll");
    std::vector<std::wstring> out;
    if (!module)
        return out;
    auto take = reinterpret_cast<TakeFn>(reinterpret_cast<void*>(::GetProcAddress(module, "FakeVellogTake")));
    std::wstring buffer(1 << 20, L'\0');
    take(buffer.data(), static_cast<int>(buffer.size()));
    std::wstring all = buffer.c_str();
    size_t start = 0;
    for (size_t end; (end = all.find(L'\n', start)) != std::wstring::npos; start = end + 1)
        out.push_back(all.substr(start, end - start));
    return out;
}

std::vector<std::wstring> TakeAssertions()
{
    std::vector<std::wstring> out;
    const std::wstring prefix = L"64|assert|ASSERT(";
    for (const auto& record : TakeLogRecords()) {
        if (record.compare(0, prefix.size(), prefix) != 0)
            continue;
        const size_t close = record.find(L") LastError=0X");
        const size_t at = record.find(L" @ ", close);
        if (close == std::wstring::npos || at == std::wstring::npos)
            continue;
        out.push_back(record.substr(prefix.size(), close - prefix.size()) + record.substr(at));
    }
    return out;
}

void PumpFor(int ms)
{
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(ms);
    MSG msg;
    while (static_cast<int>(end - ::GetTickCount()) > 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(5);
    }
}
