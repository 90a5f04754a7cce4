#pragma once
// A real engine window for tests: a host callback that serves files from a
// map, script evaluation, message pumping, rendering and screenshots.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "htmlengine/Api.h"
#include "htmlengine/EngineWindow.h"
#include "htmlengine/Value.h"

class TestView {
public:
    TestView(int width, int height, DWORD exStyle = 0, bool visible = false);
    ~TestView();
    TestView(const TestView&) = delete;
    TestView& operator=(const TestView&) = delete;

    void Load(const std::string& html, const std::wstring& url = L"file://test/page.htm");
    // Runs the message loop for about `ms` milliseconds.
    void Pump(int ms);
    bool Eval(const std::string& js, VALUE* out = nullptr);
    std::wstring EvalString(const std::string& js);
    int EvalInt(const std::string& js);
    bool EvalBool(const std::string& js);
    void Click(int x, int y);
    void Render();
    uint32_t Pixel(int x, int y) const;  // 0xAARRGGBB as painted
    void SavePng(const std::wstring& name) const;

    HWND hwnd = nullptr;
    ISciterAPI* api = nullptr;
    std::map<std::wstring, std::string> files;  // served through SC_LOAD_DATA
    std::vector<std::wstring> requested;
    he::EngineWindow* Engine() const { return he::EngineWindow::Find(hwnd, false); }
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;

private:
    static UINT CALLBACK HostCallback(SCITER_CALLBACK_NOTIFICATION* pns, LPVOID param);
};

std::string ReadTestFile(const std::wstring& relative);
// Channels of 0xAARRGGBB.
inline int Red(uint32_t c)
{
    return (c >> 16) & 0xFF;
}
inline int Green(uint32_t c)
{
    return (c >> 8) & 0xFF;
}
inline int Blue(uint32_t c)
{
    return c & 0xFF;
}
inline int Alpha(uint32_t c)
{
    return (c >> 24) & 0xFF;
}
// A tiny PNG (w x h, one colour with alpha) made with GDI+.
std::string MakePng(int w, int h, uint32_t argb);
