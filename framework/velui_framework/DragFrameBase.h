#pragma once
// Drag-out from a page window: the page starts a drag of a tag file, the
// shell's change notifications tell where a copy of it was created, the copy
// is deleted again, and the page's callback learns the folder.
#include <windows.h>

#include <json/json.h>
#include <string>

#include "common/SecureFolders.h"
#include "framework/velui_framework/Values.h"

namespace velui {

class CDragFrameBase {
public:
    static constexpr UINT MSG_DRAGDROPMONITOR = 0x1400;
    static constexpr UINT_PTR TIMERID_DELETE_TAGFILE = 261;
    static constexpr UINT kDeleteDelayMs = 300;
    // The window property that holds the drop description.
    static constexpr wchar_t kDropDescriptionProperty[] = L"312FA41B-8E84-42B7-A09A-1C1C31489D5B";

    virtual ~CDragFrameBase();

    // "dodrag": "invalid args", "success", or "fail" when a drag could not start.
    std::wstring Drag(HWND window, const VALUE& args, const VALUE& callback);
    // "updatedropdesp": result set on `result` ("success", "invalidarg", "fail" or false).
    void UpdateDropDescription(HWND window, const VALUE& args, VALUE* result);
    // Sees every message the resize part left.
    bool drag_on_message(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // A created or renamed item reported by the shell (also reached by tests).
    void ProcessDragDrop(HWND window, const std::wstring& path);
    // The folder in which tag files are written: an administrator-only base
    // of this frame's own below the temporary folder ("<temp>dragtag\<random>\",
    // SecureFolders.h), made on first use and removed with the frame; "" when
    // none can be made.
    virtual std::wstring DragTagFolder() const;

    value m_DragCallback;
    std::wstring m_strDragTagFilePath;
    std::wstring m_strDragTargetFilePath;
    std::wstring m_strDeleteFilePath;
    std::string m_strInfo;
    ULONG m_uChangeNotifyRet = 0;
    bool m_bDragging = false;  // a drag loop runs (a page timer may ask for another)

protected:
    // Runs the drag loop; tests may stand in for it. Returns DoDragDrop's result.
    virtual HRESULT RunDragLoop(IDataObject* data, IDropSource* source, DWORD* effect);

private:
    bool StartDrag(HWND window, const Json::Value& args);
    bool BeginMonitorDragDrop(HWND window);
    void EndMonitorDragDrop();
    void OnDragDropMonitor(HWND window, WPARAM wParam, LPARAM lParam);
    void DeleteDragTagFile();
    void DragCallback(const std::string& text);
    void FreeDropDescription(HWND window);

    mutable SecureFolders::AdminBase m_tagBase;
};

}  // namespace velui
