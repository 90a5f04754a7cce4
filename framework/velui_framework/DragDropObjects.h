#pragma once
// The OLE objects of a drag out of a page window: the source that decides
// when the drag drops or cancels, the data object that offers the dragged
// file names (CF_HDROP) and takes a text from a drop target, and the format
// enumerator. Each starts with no reference; the first owner adds one.
#include <windows.h>
#include <objidl.h>
#include <oleidl.h>
#include <shlobj.h>

#include <string>
#include <vector>

// Objects of this file alive right now (for leak checks).
long LiveDragObjects();

// A CF_HDROP block: a 20-byte DROPFILES header (names at offset 20, wide
// names) followed by each name, zero-terminated, and a final zero, in
// GHND | GMEM_SHARE memory. An earlier block in `out` is freed.
bool CopyNamesToHGlobal(HGLOBAL& out, const std::vector<std::wstring>& names);

class CDataObject : public IDataObject {
public:
    // The format a drop target may set text in.
    static constexpr wchar_t kTextFormatName[] = L"6B70C9ED-1CBF-4051-82A2-E535FC3582AC";

    CDataObject();
    CDataObject(const CDataObject&) = delete;
    CDataObject& operator=(const CDataObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

    HGLOBAL hGlobal = nullptr;  // the file list, owned
    const std::wstring& Text() const { return m_text; }
    bool HasText() const { return m_bHasText; }
    CLIPFORMAT TextFormat() const { return m_textFormat; }

private:
    virtual ~CDataObject();
    LONG m_refs = 0;
    FORMATETC m_format;
    std::wstring m_text;
    bool m_bHasText = false;
    CLIPFORMAT m_textFormat = 0;
};

class CDropSource : public IDropSource {
public:
    // Holds a reference to the data object while it lives.
    CDropSource(std::vector<std::wstring> names, CDataObject* data);
    CDropSource(const CDropSource&) = delete;
    CDropSource& operator=(const CDropSource&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Escape cancels; the drag goes on while the left button is down; its
    // release drops when the target last accepted something, else cancels.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    DWORD LastEffect() const { return m_lastEffect; }

private:
    virtual ~CDropSource();
    LONG m_refs = 0;
    std::vector<std::wstring> m_names;
    CDataObject* m_data;
    DWORD m_lastEffect = DROPEFFECT_NONE;
};

class CMyEnumFormatEtc : public IEnumFORMATETC {
public:
    // Copies the formats, their target devices included.
    CMyEnumFormatEtc(const FORMATETC* formats, ULONG count, ULONG cursor = 0);
    CMyEnumFormatEtc(const CMyEnumFormatEtc&) = delete;
    CMyEnumFormatEtc& operator=(const CMyEnumFormatEtc&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Copies up to `count`; S_FALSE when fewer were left.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    // S_FALSE when it passes the end (the cursor stays at the end).
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    // The same formats and cursor.
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    virtual ~CMyEnumFormatEtc();
    LONG m_refs = 0;
    std::vector<FORMATETC> m_formats;
    ULONG m_cursor = 0;
};
