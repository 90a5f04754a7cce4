#pragma once
// One engine window: its document, styles, pictures, script page, input state
// and painting. Windows become engine windows by passing messages through
// SciterProcND (or by any entry that names them).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "htmlengine/Css.h"
#include "htmlengine/Dom.h"
#include "htmlengine/Images.h"
#include "htmlengine/Script.h"

namespace he {

// The timer of the text caret's blinking.
constexpr UINT_PTR kCaretTimer = 0x3FFF;

class EngineWindow {
public:
    explicit EngineWindow(HWND hwnd);
    ~EngineWindow();
    EngineWindow(const EngineWindow&) = delete;
    EngineWindow& operator=(const EngineWindow&) = delete;

    static EngineWindow* Find(HWND hwnd, bool create);
    static void Forget(HWND hwnd);

    HWND Hwnd() const { return m_hwnd; }
    Document* Doc() const { return m_doc.get(); }
    ScriptPage* Page() const { return m_page.get(); }
    Element* Focused() const { return m_focus.get(); }

    // Entries.
    LRESULT Proc(UINT msg, WPARAM wParam, LPARAM lParam, BOOL* handled);
    void SetCallback(SciterHostCallback cb, LPVOID param)
    {
        m_callback = cb;
        m_callbackParam = param;
    }
    bool AttachHandler(ElementEventProc proc, LPVOID tag, UINT subscription);
    bool DetachHandler(ElementEventProc proc, LPVOID tag);
    bool LoadHtml(const unsigned char* html, size_t size, const std::wstring& baseUrl);
    bool LoadFile(const std::wstring& url);
    bool DataReady(const std::wstring& uri, const unsigned char* data, size_t size);
    bool DataReadyAsync(const std::wstring& uri, const unsigned char* data, size_t size, LPVOID requestId);
    bool SetOption(UINT option, UINT_PTR value);

    // Fetches a resource: the host callback first, then local files.
    bool Request(const std::wstring& url, UINT type, std::string& bytes);

    // Script side.
    // A call on `view`: the host's handlers first, then the engine's own functions.
    // Returns false when nobody handled it.
    bool ViewCall(const std::string& name, const std::vector<Value>& args, Value& result);
    bool NotifyBehavior(Element* e, UINT group, LPVOID params);
    void SetFocus(Element* e);
    void ElementChanged();  // style or tree changed: restyle, relayout, repaint
    void ClickElement(Element* e);

    // Rendering.
    void UpdateLayout();
    // Paints the page into a 32-bit premultiplied buffer of the client size.
    bool Render(std::vector<uint32_t>& pixels, int& width, int& height);
    void Invalidate();
    struct Timing {
        double style = 0, layout = 0, paint = 0;
    };
    const Timing& LastTiming() const { return m_timing; }

private:
    void ParseAndRun(const std::wstring& html, const std::wstring& baseUrl);
    void CollectResources();
    void LoadImage(const std::wstring& url);
    void Unload();
    void Paint(HDC hdc);
    void PresentLayered();
    bool PaintToBuffer(int w, int h);
    void SizeHostedWindows();

    // Input.
    void OnMouse(UINT msg, WPARAM wParam, LPARAM lParam);
    bool OnKey(UINT msg, WPARAM wParam, LPARAM lParam);
    void SetHover(Element* e);
    void UpdateCursor();
    bool FireMouse(const char* type, Element* target, LPARAM lParam, int button);
    bool FireKey(const char* type, Element* target, int keyCode, int charCode);
    bool NotifyHandlers(UINT group, LPVOID params, HELEMENT he);
    void FieldKey(Element* e, UINT vk);
    void FieldChar(Element* e, wchar_t ch);
    void FieldInsert(Element* e, const std::wstring& text);
    void FieldPlaceCaret(Element* e, float x, float y, bool extend);
    void FieldScrollToCaret(Element* e);
    void FieldContextMenu(Element* e, POINT screen);
    void FieldChanged(Element* e);
    void FieldCommand(Element* e, int cmd);
    void RestartCaret();
    Element* NextFocusable(Element* from, bool backwards);
    bool BuiltinView(const std::string& name, const std::vector<Value>& args, Value& result);

    HWND m_hwnd;
    SciterHostCallback m_callback = nullptr;
    LPVOID m_callbackParam = nullptr;
    struct Handler {
        ElementEventProc proc;
        LPVOID tag;
        UINT subscription;
    };
    std::vector<Handler> m_handlers;

    std::unique_ptr<Document> m_doc;
    StyleResolver m_styles;
    ImageCache m_images;
    std::unique_ptr<ScriptPage> m_page;

    // A resource request in progress, answered by SciterDataReady.
    const std::wstring* m_pendingUri = nullptr;
    std::string* m_pendingData = nullptr;
    bool m_pendingAnswered = false;

    bool m_transparent = false;
    bool m_layoutDirty = true;
    bool m_paintPending = false;
    // Held so that scripts removing them cannot leave these dangling.
    std::shared_ptr<Element> m_hover, m_focus, m_pressed;
    bool m_selecting = false;
    bool m_tracking = false;
    bool m_caretOn = false;
    int m_lastWidth = -1, m_lastHeight = -1;

    UniqueBitmap m_dib;
    void* m_bits = nullptr;
    int m_dibW = 0, m_dibH = 0;
    Timing m_timing;
};

}  // namespace he
