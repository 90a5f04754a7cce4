#include <gtest/gtest.h>

#include "common/Handles.h"
#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

struct Collected {
    std::wstring text;
    int calls = 0;
};

void CALLBACK Receive(LPCWSTR str, UINT n, LPVOID param)
{
    auto* c = static_cast<Collected*>(param);
    c->text.assign(str, n);
    ++c->calls;
}

}  // namespace

TEST(EngineDll, ExportsTheTableWithEveryEntry)
{
    UniqueModule dll(LoadLibraryW((TestExeDirectory() + L"sciter32.dll").c_str()));
    ASSERT_TRUE(dll);
    auto entry = reinterpret_cast<SciterAPI_ptr>(reinterpret_cast<void*>(GetProcAddress(dll.get(), "SciterAPI")));
    ASSERT_NE(entry, nullptr);
    ISciterAPI* api = entry();
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(entry(), api);  // one table for the life of the process
    // Every slot is filled.
    auto** slots = reinterpret_cast<void**>(reinterpret_cast<char*>(api) + sizeof(UINT));
    size_t count = (sizeof(ISciterAPI) - sizeof(UINT)) / sizeof(void*);
    for (size_t i = 0; i < count; ++i)
        EXPECT_NE(slots[i], nullptr) << "slot " << i;
    EXPECT_NE(api->TIScriptAPI(), nullptr);

    // The DLL's value entries work on their own.
    VALUE v;
    api->ValueInit(&v);
    api->ValueStringDataSet(&v, L"abc", 3, 0);
    LPCWSTR chars = nullptr;
    UINT n = 0;
    EXPECT_EQ(api->ValueStringData(&v, &chars, &n), 0u);
    EXPECT_EQ(std::wstring(chars, n), L"abc");
    api->ValueClear(&v);

    // The archive lookup never finds anything.
    LPCBYTE data = reinterpret_cast<LPCBYTE>(1);
    UINT size = 7;
    EXPECT_FALSE(api->SciterGetArchiveItem(nullptr, L"installer/install.htm", &data, &size));
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
}

TEST(EngineApi, HostCallbackServesPageResourcesAndDeclinesMissingOnes)
{
    TestView view(300, 200);
    view.files[L"file://app/installer/css/page.css"] = "#box{width:50px;height:20px;background:#ff0000}";
    view.files[L"file://common/lang.js"] = "var lang = 'en_US';";
    view.Load("<html><head><link rel=stylesheet href='css/page.css'><script src='/common/lang.js'></script>"
              "<script src='missing.js'></script></head><body><div id=box></div><img id=pic "
              "src='res/none.png'></body></html>",
              L"file://app/installer/install.htm");
    EXPECT_EQ(view.EvalString("lang"), L"en_US");
    view.Render();
    EXPECT_EQ(view.Pixel(8 + 10, 8 + 10) & 0xFFFFFF, 0xFF0000u);
    // Every reference was asked for, resolved against the page's URL.
    auto asked = [&](const std::wstring& u) {
        return std::find(view.requested.begin(), view.requested.end(), u) != view.requested.end();
    };
    EXPECT_TRUE(asked(L"file://app/installer/css/page.css"));
    EXPECT_TRUE(asked(L"file://common/lang.js"));
    EXPECT_TRUE(asked(L"file://app/installer/missing.js"));
    EXPECT_TRUE(asked(L"file://app/installer/res/none.png"));
    // A missing picture leaves its box empty.
    EXPECT_EQ(view.EvalInt("document.getElementById('pic').offsetWidth"), 0);
}

TEST(EngineApi, ElementHandlesAttributesAndHostedWindows)
{
    TestView view(300, 200);
    view.Load(
        "<body style='margin:0'><div id=host style='position:absolute;left:20px;top:30px;width:100px;height:40px' "
        "name='mini' src='x.htm'></div></body>");
    HELEMENT root = nullptr;
    ASSERT_EQ(view.api->SciterGetRootElement(view.hwnd, &root), 0u);
    he::Element* host = view.Engine()->Doc()->GetElementById(L"host");
    ASSERT_NE(host, nullptr);
    HELEMENT he = static_cast<HELEMENT>(host);
    EXPECT_EQ(view.api->Sciter_UseElement(he), 0u);

    Collected got;
    EXPECT_EQ(view.api->SciterGetAttributeByNameCB(he, "src", Receive, &got), 0u);
    EXPECT_EQ(got.text, L"x.htm");
    EXPECT_NE(view.api->SciterGetAttributeByNameCB(he, "type", Receive, &got), 0u);
    EXPECT_EQ(got.calls, 1);

    HWND found = nullptr;
    EXPECT_EQ(view.api->SciterGetElementHwnd(he, &found, TRUE), 0u);
    EXPECT_EQ(found, view.hwnd);

    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 0, 0, view.hwnd, nullptr, nullptr, nullptr);
    EXPECT_EQ(view.api->SciterAttachHwndToElement(he, child), 0u);
    view.Render();
    RECT rc {};
    GetWindowRect(child, &rc);
    MapWindowPoints(nullptr, view.hwnd, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 20);
    EXPECT_EQ(rc.top, 30);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 40);

    // A used handle survives the element's removal; a stale one is refused.
    view.Eval("document.body.removeChild(document.getElementById('host'))");
    view.Eval("document.body.innerHTML = ''");
    EXPECT_EQ(view.api->SciterGetAttributeByNameCB(he, "name", Receive, &got), 0u);
    EXPECT_EQ(view.api->Sciter_UnuseElement(he), 0u);
    EXPECT_EQ(view.api->Sciter_UnuseElement(reinterpret_cast<HELEMENT>(0x1234)),
              static_cast<UINT>(SCDOM_INVALID_HANDLE));
    EXPECT_NE(view.api->SciterGetAttributeByNameCB(reinterpret_cast<HELEMENT>(0x1234), "name", Receive, &got), 0u);
    EXPECT_TRUE(view.api->SciterSetOption(view.hwnd, SCITER_TRANSPARENT_WINDOW, 1));
    EXPECT_FALSE(view.api->SciterSetOption(view.hwnd, 99, 1));
}

TEST(EngineApi, LoadingRefusesWhatItCannotReadAndBadArguments)
{
    TestView view(100, 100);
    EXPECT_FALSE(view.api->SciterLoadFile(view.hwnd, L"file://app/installer/nothing.htm"));
    EXPECT_FALSE(view.api->SciterLoadFile(view.hwnd, nullptr));
    EXPECT_FALSE(view.api->SciterLoadHtml(view.hwnd, nullptr, 10, L"x"));
    EXPECT_FALSE(view.api->SciterLoadHtml(reinterpret_cast<HWND>(0x12345), reinterpret_cast<LPCBYTE>("<p>"), 3, L"x"));
    EXPECT_FALSE(view.api->SciterDataReady(view.hwnd, L"x", nullptr, 5));
    HELEMENT root = reinterpret_cast<HELEMENT>(1);
    EXPECT_EQ(view.api->SciterGetRootElement(reinterpret_cast<HWND>(0x12345), &root),
              static_cast<UINT>(SCDOM_INVALID_HWND));
    EXPECT_EQ(root, nullptr);
    BOOL handled = TRUE;
    EXPECT_EQ(view.api->SciterProcND(reinterpret_cast<HWND>(0x12345), WM_PAINT, 0, 0, &handled), 0);
    EXPECT_FALSE(handled);
    // Malformed markup still renders what it can.
    std::string junk = "<div style='width:20px;height:20px;background:#00f'><p <<>> <b>bold</i></td></table><!-- open";
    EXPECT_TRUE(view.api->SciterLoadHtml(view.hwnd, reinterpret_cast<LPCBYTE>(junk.data()),
                                         static_cast<UINT>(junk.size()), L"file://t/x.htm"));
    view.Render();
    // The paragraph's 13px top margin collapses through the div and the body (the text ends above y 31).
    EXPECT_EQ(view.Pixel(12, 31) & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(view.Pixel(12, 11) & 0xFFFFFF, 0xFFFFFFu);
}
