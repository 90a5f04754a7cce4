#include "framework/velui_framework/DragDropObjects.h"

#include <cstring>
#include <new>

namespace {

LONG g_liveObjects = 0;

DVTARGETDEVICE* CopyTargetDevice(const DVTARGETDEVICE* device)
{
    if (!device)
        return nullptr;
    auto* copy = static_cast<DVTARGETDEVICE*>(::CoTaskMemAlloc(device->tdSize));
    if (copy)
        memcpy(copy, device, device->tdSize);
    return copy;
}

// A copy of the memory block, the same size.
HGLOBAL DuplicateGlobal(HGLOBAL source)
{
    const SIZE_T size = ::GlobalSize(source);
    HGLOBAL copy = ::GlobalAlloc(GHND | GMEM_SHARE, size);
    if (!copy)
        return nullptr;
    const void* from = ::GlobalLock(source);
    void* to = ::GlobalLock(copy);
    if (!from || !to) {
        if (from)
            ::GlobalUnlock(source);
        if (to)
            ::GlobalUnlock(copy);
        ::GlobalFree(copy);
        return nullptr;
    }
    memcpy(to, from, size);
    ::GlobalUnlock(copy);
    ::GlobalUnlock(source);
    return copy;
}

}  // namespace

long LiveDragObjects()
{
    return ::InterlockedCompareExchange(&g_liveObjects, 0, 0);
}

bool CopyNamesToHGlobal(HGLOBAL& out, const std::vector<std::wstring>& names)
{
    if (out) {
        ::GlobalFree(out);
        out = nullptr;
    }
    size_t units = 1;  // the final zero
    for (const auto& name : names)
        units += name.size() + 1;
    const SIZE_T bytes = sizeof(DROPFILES) + units * sizeof(wchar_t);
    HGLOBAL block = ::GlobalAlloc(GHND | GMEM_SHARE, bytes);
    if (!block)
        return false;
    auto* header = static_cast<DROPFILES*>(::GlobalLock(block));
    if (!header) {
        ::GlobalFree(block);
        return false;
    }
    header->pFiles = sizeof(DROPFILES);
    header->pt = POINT {0, 0};
    header->fNC = FALSE;
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(header) + sizeof(DROPFILES));
    for (const auto& name : names) {
        memcpy(text, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
        text += name.size() + 1;
    }
    *text = L'\0';
    ::GlobalUnlock(block);
    out = block;
    return true;
}

// ---- CDataObject

CDataObject::CDataObject()
    : m_format {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
      m_textFormat(static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(kTextFormatName)))
{
    ::InterlockedIncrement(&g_liveObjects);
}

CDataObject::~CDataObject()
{
    if (hGlobal)
        ::GlobalFree(hGlobal);
    ::InterlockedDecrement(&g_liveObjects);
}

HRESULT STDMETHODCALLTYPE CDataObject::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDataObject)
        return E_NOINTERFACE;
    *object = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CDataObject::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CDataObject::Release()
{
    const LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CDataObject::QueryGetData(FORMATETC* format)
{
    if (!format)
        return E_INVALIDARG;
    if (!(format->tymed & m_format.tymed))
        return DV_E_TYMED;
    if (format->cfFormat != m_format.cfFormat)
        return DV_E_FORMATETC;
    if (format->dwAspect != m_format.dwAspect)
        return DV_E_DVASPECT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDataObject::GetData(FORMATETC* format, STGMEDIUM* medium)
{
    if (!format || !medium)
        return E_INVALIDARG;
    const HRESULT match = QueryGetData(format);
    if (match != S_OK)
        return match;
    if (!hGlobal)
        return DV_E_FORMATETC;
    HGLOBAL copy = DuplicateGlobal(hGlobal);
    if (!copy)
        return STG_E_MEDIUMFULL;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = copy;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release)
{
    if (!format || !medium)
        return E_INVALIDARG;
    if (format->cfFormat != m_textFormat || m_textFormat == 0 || format->dwAspect != DVASPECT_CONTENT ||
        !(format->tymed & TYMED_HGLOBAL) || medium->tymed != TYMED_HGLOBAL || !medium->hGlobal)
        return DV_E_FORMATETC;
    // The text ends at its zero or at the end of the block, whichever comes first.
    const SIZE_T units = ::GlobalSize(medium->hGlobal) / sizeof(wchar_t);
    const auto* text = static_cast<const wchar_t*>(::GlobalLock(medium->hGlobal));
    if (!text)
        return E_OUTOFMEMORY;
    SIZE_T length = 0;
    while (length < units && text[length])
        ++length;
    m_text.assign(text, length);
    m_bHasText = true;
    ::GlobalUnlock(medium->hGlobal);
    if (release)
        ::ReleaseStgMedium(medium);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    auto* formats = new (std::nothrow) CMyEnumFormatEtc(&m_format, 1);
    if (!formats)
        return E_OUTOFMEMORY;
    formats->AddRef();
    *out = formats;
    return S_OK;
}

// ---- CDropSource

CDropSource::CDropSource(std::vector<std::wstring> names, CDataObject* data) : m_names(std::move(names)), m_data(data)
{
    if (m_data)
        m_data->AddRef();
    ::InterlockedIncrement(&g_liveObjects);
}

CDropSource::~CDropSource()
{
    if (m_data)
        m_data->Release();
    ::InterlockedDecrement(&g_liveObjects);
}

HRESULT STDMETHODCALLTYPE CDropSource::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDropSource)
        return E_NOINTERFACE;
    *object = static_cast<IDropSource*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CDropSource::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CDropSource::Release()
{
    const LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CDropSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState)
{
    if (escapePressed)
        return DRAGDROP_S_CANCEL;
    if (keyState & MK_LBUTTON)
        return S_OK;
    return m_lastEffect != DROPEFFECT_NONE ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}

HRESULT STDMETHODCALLTYPE CDropSource::GiveFeedback(DWORD effect)
{
    m_lastEffect = effect;
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

// ---- CMyEnumFormatEtc

CMyEnumFormatEtc::CMyEnumFormatEtc(const FORMATETC* formats, ULONG count, ULONG cursor)
{
    for (ULONG i = 0; formats && i < count; ++i) {
        FORMATETC copy = formats[i];
        copy.ptd = CopyTargetDevice(formats[i].ptd);
        m_formats.push_back(copy);
    }
    m_cursor = cursor > m_formats.size() ? static_cast<ULONG>(m_formats.size()) : cursor;
    ::InterlockedIncrement(&g_liveObjects);
}

CMyEnumFormatEtc::~CMyEnumFormatEtc()
{
    for (auto& format : m_formats)
        if (format.ptd)
            ::CoTaskMemFree(format.ptd);
    ::InterlockedDecrement(&g_liveObjects);
}

HRESULT STDMETHODCALLTYPE CMyEnumFormatEtc::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumFORMATETC)
        return E_NOINTERFACE;
    *object = static_cast<IEnumFORMATETC*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CMyEnumFormatEtc::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CMyEnumFormatEtc::Release()
{
    const LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CMyEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched)
{
    if (fetched)
        *fetched = 0;
    if (!out || (count > 1 && !fetched))
        return E_INVALIDARG;
    ULONG copied = 0;
    while (copied < count && m_cursor < m_formats.size()) {
        out[copied] = m_formats[m_cursor];
        out[copied].ptd = CopyTargetDevice(m_formats[m_cursor].ptd);
        ++copied;
        ++m_cursor;
    }
    if (fetched)
        *fetched = copied;
    return copied == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CMyEnumFormatEtc::Skip(ULONG count)
{
    const ULONG left = static_cast<ULONG>(m_formats.size()) - m_cursor;
    if (count > left) {
        m_cursor = static_cast<ULONG>(m_formats.size());
        return S_FALSE;
    }
    m_cursor += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyEnumFormatEtc::Reset()
{
    m_cursor = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyEnumFormatEtc::Clone(IEnumFORMATETC** out)
{
    if (!out)
        return E_INVALIDARG;
    auto* copy = new (std::nothrow) CMyEnumFormatEtc(m_formats.data(), static_cast<ULONG>(m_formats.size()), m_cursor);
    *out = copy;
    if (!copy)
        return E_OUTOFMEMORY;
    copy->AddRef();
    return S_OK;
}
