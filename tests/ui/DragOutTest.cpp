// Drag-out from a real page window: a full drag through the system's drag
// loop onto a drop target of the test, driven by mouse and key input on the
// display; Escape; bad input from the page; the drop description.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <json/json.h>
#include <thread>

#include "framework/velui_framework/DragDropObjects.h"
#include "framework/velui_framework/DragTagFile.h"
#include "common/SecureFolders.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/PageWindowFixture.h"
#include "tests/ui/UiTestSupport.h"

namespace {

// A folder on the desktop's side of things: a drop copies the dragged file
// into it and tells the shell, as a file manager does.
class FolderDropTarget : public IDropTarget {
public:
    explicit FolderDropTarget(std::wstring folder) : m_folder(std::move(folder)) { }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        *object = nullptr;
        if (riid != IID_IUnknown && riid != IID_IDropTarget)
            return E_NOINTERFACE;
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&refs)); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(::InterlockedDecrement(&refs)); }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override
    {
        ++enters;
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override
    {
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override
    {
        *effect = DROPEFFECT_NONE;
        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium {};
        if (data->GetData(&format, &medium) != S_OK)
            return E_FAIL;
        wchar_t source[MAX_PATH] = {};
        ::DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, source, MAX_PATH);
        ::ReleaseStgMedium(&medium);
        dragged = source;
        const wchar_t* name = wcsrchr(source, L'\\');
        copied = m_folder + (name ? name + 1 : source);
        if (late) {
            // As a file manager that copies on a thread of its own: the drop
            // returns at once and the shell hears of the copy later.
            const std::wstring from = source, to = copied;
            worker = std::thread([from, to] {
                ::Sleep(300);
                if (::CopyFileW(from.c_str(), to.c_str(), FALSE))
                    ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, to.c_str(), nullptr);
            });
        } else {
            if (!::CopyFileW(source, copied.c_str(), FALSE))
                return E_FAIL;
            ::SHChangeNotify(SHCNE_CREATE, SHCNF_PATHW, copied.c_str(), nullptr);
        }
        // A target may leave a word for the source in the registered format.
        const std::wstring note = L"copied";
        FORMATETC text = {static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(CDataObject::kTextFormatName)), nullptr,
                          DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM out {TYMED_HGLOBAL, {nullptr}, nullptr};
        out.hGlobal = ::GlobalAlloc(GMEM_MOVEABLE, (note.size() + 1) * sizeof(wchar_t));
        memcpy(::GlobalLock(out.hGlobal), note.c_str(), (note.size() + 1) * sizeof(wchar_t));
        ::GlobalUnlock(out.hGlobal);
        if (data->SetData(&text, &out, TRUE) != S_OK)
            ::GlobalFree(out.hGlobal);
        *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    LONG refs = 0;
    int enters = 0;
    bool late = false;
    std::thread worker;
    std::wstring dragged, copied;

private:
    std::wstring m_folder;
};

void MouseTo(int x, int y)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (::GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (::GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &input, sizeof(input));
}

void Button(bool down)
{
    INPUT input {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &input, sizeof(input));
}

void Escape()
{
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}

Json::Value Parse(const std::wstring& text)
{
    Json::Value out;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string narrow = NarrowAscii(text);
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(narrow.data(), narrow.data() + narrow.size(), &out, &errors);
    return out;
}

class DragOut : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
        LoadFakeLog();
        TakeLogRecords();
        objectsBefore = LiveDragObjects();
        // Topmost, so that windows of tests running beside this one never take the input.
        page = std::make_unique<PageWindow>(L"source", L"file://app/installer/shadow.htm", RECT {100, 100, 300, 250},
                                            WS_EX_TOPMOST);
        ASSERT_TRUE(page->frame);
        ::ShowWindow(page->window, SW_SHOW);
        ::SetForegroundWindow(page->window);
        target = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"target", WS_POPUP | WS_VISIBLE | SS_NOTIFY, 600, 100,
                                   200, 150, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(target, nullptr);
        drop = std::make_unique<FolderDropTarget>(folder.Path());
        ASSERT_EQ(::RegisterDragDrop(target, drop.get()), S_OK);
        PumpFor(50);
    }
    void TearDown() override
    {
        if (drop->worker.joinable())
            drop->worker.join();
        Button(false);
        PumpFor(50);
        ::RevokeDragDrop(target);
        ::DestroyWindow(target);
        page.reset();
        EXPECT_EQ(drop->refs, 0);
        EXPECT_EQ(LiveDragObjects(), objectsBefore);
        ::OleUninitialize();
    }
    // Where the page's frame writes its tag file.
    std::wstring TempTagFile() const { return page->frame->DragTagFolder() + velui::kDragTagName; }
    // Presses the button over the page, lets `input` run on its own thread
    // and starts the page's drag; the page's callback text.
    std::wstring DragWith(const std::function<void()>& input, const std::string& args)
    {
        ::SetForegroundWindow(page->window);
        MouseTo(200, 170);
        Button(true);
        PumpFor(100);
        std::thread driver(input);
        const std::wstring line =
            page->PageLineAfter([&] { page->frame->on_buss_message("drag", args, false); }, L"dragged:");
        driver.join();
        return line;
    }
    ScratchFolder folder;
    std::unique_ptr<PageWindow> page;
    HWND target = nullptr;
    std::unique_ptr<FolderDropTarget> drop;
    long objectsBefore = 0;
};

}  // namespace

TEST_F(DragOut, ADropOntoAFolderGivesItsPathAndTheCopyIsDeletedSoonAfter)
{
    const std::wstring result = DragWith(
        [] {
            ::Sleep(300);
            MouseTo(650, 150);
            ::Sleep(300);
            MouseTo(700, 170);
            ::Sleep(300);
            Button(false);
        },
        "{\"action\":\"start\",\"info\":\"pkg-7\"}");
    EXPECT_GT(drop->enters, 0);
    EXPECT_EQ(drop->dragged, TempTagFile());
    const Json::Value json = Parse(result);
    ASSERT_TRUE(json.isObject()) << result;
    EXPECT_EQ(json["result"].asString(), "success");
    std::wstring expected = folder.Path();
    expected.pop_back();  // the folder, without a closing separator
    EXPECT_EQ(WidenAscii(json["to_path"].asString()), expected);
    EXPECT_EQ(json["info"].asString(), "pkg-7");
    EXPECT_EQ(json.size(), 3u);

    // The copy goes once the deletion timer has run; the tag file stays.
    ASSERT_FALSE(drop->copied.empty());
    EXPECT_TRUE(WaitUntil(
        [&] {
            PumpFor(20);
            return ::GetFileAttributesW(drop->copied.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        std::chrono::seconds(5)));
    EXPECT_NE(::GetFileAttributesW(TempTagFile().c_str()), INVALID_FILE_ATTRIBUTES);
    const auto records = TakeLogRecords();
    auto has = [&](const std::wstring& text) {
        for (const auto& r : records)
            if (r.find(text) != std::wstring::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(has(L"tagfile:" + TempTagFile()));
    EXPECT_TRUE(has(L"DoDragDrop result 262400"));  // DRAGDROP_S_DROP
    EXPECT_TRUE(has(L"todo copied"));
    EXPECT_TRUE(has(L"DragCommit(pszPath=" + drop->copied + L")"));
    EXPECT_EQ(page->frame->m_uChangeNotifyRet, 0u);  // monitoring ended with the drag
}

TEST_F(DragOut, TheTagIsWrittenInAnAdministratorOnlyBaseOfTheFramesOwnThatGoesWithTheFrame)
{
    const std::wstring tagFolder = page->frame->DragTagFolder();
    const std::wstring temp = SecureFolders::TemporaryRoot();
    // Below the temporary folder, never in it, and the same for every drag of the frame.
    EXPECT_EQ(tagFolder.rfind(temp + L"dragtag\\", 0), 0u) << NarrowAscii(tagFolder);
    EXPECT_GT(tagFolder.size(), temp.size() + 8 + 32);
    EXPECT_EQ(page->frame->DragTagFolder(), tagFolder);
    EXPECT_NE(::GetFileAttributesW(tagFolder.c_str()), INVALID_FILE_ATTRIBUTES);
    page.reset();
    EXPECT_EQ(::GetFileAttributesW(tagFolder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DragOut, ACopyTheShellReportsAfterTheDragLoopEndedStillGivesThePath)
{
    drop->late = true;
    const std::wstring result = DragWith(
        [] {
            ::Sleep(300);
            MouseTo(650, 150);
            ::Sleep(300);
            MouseTo(700, 170);
            ::Sleep(300);
            Button(false);
        },
        "{\"action\":\"start\"}");
    const Json::Value json = Parse(result);
    ASSERT_TRUE(json.isObject()) << result;
    EXPECT_EQ(json["result"].asString(), "success");
    std::wstring expected = folder.Path();
    expected.pop_back();
    EXPECT_EQ(WidenAscii(json["to_path"].asString()), expected);
    EXPECT_TRUE(WaitUntil(
        [&] {
            PumpFor(20);
            return !drop->copied.empty() && ::GetFileAttributesW(drop->copied.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        std::chrono::seconds(5)));
    EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {});
}

// A page timer that asks for a second drag while one runs.
struct SecondDrag {
    static velui::frame* frame;
    static std::vector<std::wstring> lines;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        ::KillTimer(nullptr, id);
        DebugCapture capture;
        frame->on_buss_message("drag", "{\"action\":\"start\"}", false);
        lines = capture.Lines();
    }
};
velui::frame* SecondDrag::frame = nullptr;
std::vector<std::wstring> SecondDrag::lines;

TEST_F(DragOut, EscapeCancelsWithoutAPathAndASecondDragMeanwhileIsRefused)
{
    SecondDrag::frame = page->frame.get();
    SecondDrag::lines.clear();
    ::SetTimer(nullptr, 0, 450, &SecondDrag::Tick);
    const std::wstring result = DragWith(
        [] {
            ::Sleep(300);
            MouseTo(650, 150);
            ::Sleep(300);
            Escape();
            ::Sleep(300);
            Button(false);
        },
        "{\"action\":\"start\"}");
    const Json::Value json = Parse(result);
    ASSERT_TRUE(json.isObject()) << result;
    EXPECT_EQ(json["result"].asString(), "cancel");
    EXPECT_FALSE(json.isMember("to_path"));
    EXPECT_FALSE(json.isMember("info"));
    EXPECT_TRUE(drop->copied.empty());
    EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {});
    ASSERT_EQ(SecondDrag::lines.size(), 1u);
    EXPECT_EQ(SecondDrag::lines[0], L"stagehand.exe=>EventOutputDebugStringAAHandler:dodrag:fail");
}

TEST_F(DragOut, BadArgumentsStartNothing)
{
    auto dodrag = [&](const char* type, const std::string& args) {
        return page->PageLineAfter([&] { page->frame->on_buss_message(type, args, false); }, L"dodrag:");
    };
    EXPECT_EQ(dodrag("drag", "not json"), L"invalid args");
    EXPECT_EQ(dodrag("drag", "{\"action\":\"start\"} trailing"), L"invalid args");
    EXPECT_EQ(dodrag("drag", "[1,2]"), L"invalid args");
    EXPECT_EQ(dodrag("drag", "\"start\""), L"invalid args");
    EXPECT_EQ(dodrag("drag", "{\"action\":3}"), L"invalid args");
    EXPECT_EQ(dodrag("dragnum", ""), L"invalid args");
    EXPECT_EQ(TakeAssertions(), (std::vector<std::wstring> {
                                    L"jv @ velui_dragframe(68)",
                                    L"jv @ velui_dragframe(68)",
                                    L"!jv->isNull() && jv->isObject() && !jv->isArray() @ velui_dragframe(69)",
                                    L"!jv->isNull() && jv->isObject() && !jv->isArray() @ velui_dragframe(69)",
                                    L"(*jv)[\"action\"].isString() @ velui_dragframe(70)",
                                    L"jv @ velui_dragframe(68)",
                                }));
    // Other actions are accepted and do nothing.
    EXPECT_EQ(dodrag("drag", "{\"action\":\"cancel\"}"), L"success");
    EXPECT_EQ(dodrag("drag", "{\"action\":\"end\"}"), L"success");
    EXPECT_EQ(::GetFileAttributesW(TempTagFile().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(page->frame->m_uChangeNotifyRet, 0u);
}

TEST_F(DragOut, NoticesOfOtherFilesOrOfFilesInsideAFolderWithOurNameAreIgnored)
{
    auto& f = *page->frame;
    f.m_strDragTagFilePath = TempTagFile();
    f.ProcessDragDrop(page->window, folder / L"report.doc");
    f.ProcessDragDrop(page->window, folder / (std::wstring(velui::kDragTagName) + L"\\report.doc"));
    f.ProcessDragDrop(page->window, TempTagFile());  // the tag file itself
    EXPECT_TRUE(f.m_strDragTargetFilePath.empty());
    EXPECT_TRUE(f.m_strDeleteFilePath.empty());
    // The first copy is taken; later notices find no tag file out.
    f.ProcessDragDrop(page->window, folder / velui::kDragTagName);
    std::wstring expected = folder.Path();
    expected.pop_back();
    EXPECT_EQ(f.m_strDragTargetFilePath, expected);
    f.ProcessDragDrop(page->window, L"C:\\elsewhere\\" + std::wstring(velui::kDragTagName));
    EXPECT_EQ(f.m_strDragTargetFilePath, expected);
    // The copy was never written: its deletion is reported, nothing else happens.
    PumpFor(500);
    EXPECT_EQ(TakeAssertions(), std::vector<std::wstring> {L"DeleteFile( pszPath ) @ velui_dragframe(227)"});
}

TEST_F(DragOut, TheDropDescriptionIsAttachedAsStyledTextAndReplaced)
{
    auto desc = [&](const char* type, const std::string& args) {
        return page->PageLineAfter([&] { page->frame->on_buss_message(type, args, false); }, L"desc:");
    };
    const wchar_t* property = velui::CDragFrameBase::kDropDescriptionProperty;
    EXPECT_EQ(desc("desc", "{\"a\":1}"), L"success");
    HANDLE first = ::GetPropW(page->window, property);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(::GlobalLock(first))), L"{\n   \"a\" : 1\n}\n");
    ::GlobalUnlock(first);
    EXPECT_EQ(desc("desc", "[\"x\"]"), L"success");
    HANDLE second = ::GetPropW(page->window, property);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(::GlobalLock(second))), L"[ \"x\" ]\n");
    ::GlobalUnlock(second);
    EXPECT_EQ(desc("desc", "{oops"), L"fail");
    EXPECT_EQ(desc("descnum", ""), L"invalidarg");
    EXPECT_EQ(::GetPropW(page->window, property), second);  // a failed call keeps the last one
    EXPECT_EQ(TakeAssertions(),
              (std::vector<std::wstring> {L"jv @ velui_dragframe(91)", L"args.is_string() @ velui_dragframe(88)"}));
}
