#include "framework/velui_framework/MemLockStream.h"

#include <cstring>
#include <new>

CMemLockStream* CMemLockStream::Create(const BYTE* data, ULONG size)
{
    auto* stream = new (std::nothrow) CMemLockStream(data, size);
    if (stream)
        stream->AddRef();
    return stream;
}

HRESULT STDMETHODCALLTYPE CMemLockStream::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CMemLockStream::AddRef()
{
    return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CMemLockStream::Release()
{
    LONG left = ::InterlockedDecrement(&m_refs);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CMemLockStream::Read(void* buffer, ULONG requested, ULONG* read)
{
    if (!buffer)
        return E_INVALIDARG;
    if (!m_data)
        return E_ACCESSDENIED;
    if (m_size == 0 || m_pos >= m_size)
        return E_FAIL;
    const ULONG count = requested < m_size - m_pos ? requested : m_size - m_pos;
    std::memcpy(buffer, m_data + m_pos, count);
    if (read)
        *read = count;
    m_pos += count;
    return count == requested ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CMemLockStream::Seek(LARGE_INTEGER offset, DWORD origin, ULARGE_INTEGER* position)
{
    if (!m_data || m_size == 0)
        return E_FAIL;
    LONGLONG base = 0;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = m_pos;
        break;
    case STREAM_SEEK_END:
        base = m_size;
        break;
    default:
        return STG_E_SEEKERROR;
    }
    const LONGLONG target = base + static_cast<LONG>(offset.LowPart);
    if (target >= 0 && target <= 0xFFFFFFFFLL)
        m_pos = static_cast<ULONG>(target);
    if (position)
        position->QuadPart = m_pos;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CMemLockStream::Stat(STATSTG* stat, DWORD)
{
    if (!stat)
        return STG_E_INVALIDPOINTER;
    std::memset(stat, 0, sizeof(*stat));
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = m_size;
    return S_OK;
}
