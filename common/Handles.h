#pragma once
// Owners for Windows handles, GDI objects, COM memory and pointers: each
// releases what it holds exactly once.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

template <typename Traits> class UniqueWinHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueWinHandle() = default;
    explicit UniqueWinHandle(Handle h) : m_h(h) { }
    UniqueWinHandle(const UniqueWinHandle&) = delete;
    UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;
    UniqueWinHandle(UniqueWinHandle&& other) noexcept : m_h(other.release()) { }
    UniqueWinHandle& operator=(UniqueWinHandle&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueWinHandle() { reset(); }

    Handle get() const { return m_h; }
    Handle* put()
    {
        reset();
        return &m_h;
    }
    explicit operator bool() const { return Traits::IsValid(m_h); }
    Handle release() { return std::exchange(m_h, Traits::Invalid()); }
    void reset(Handle h = Traits::Invalid())
    {
        if (Traits::IsValid(m_h))
            Traits::Close(m_h);
        m_h = h;
    }

private:
    Handle m_h = Traits::Invalid();
};

// Kernel handles: CreateFile and friends report failure as INVALID_HANDLE_VALUE,
// the others as null; neither is closed.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};

// A handle type whose empty value is null, closed by CloseFn.
template <typename H, auto CloseFn> struct NullHandleTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { CloseFn(h); }
};

using UniqueHandle = UniqueWinHandle<KernelHandleTraits>;
using UniqueFindHandle = UniqueWinHandle<FindHandleTraits>;
using UniqueHKey = UniqueWinHandle<NullHandleTraits<HKEY, ::RegCloseKey>>;
using UniqueModule = UniqueWinHandle<NullHandleTraits<HMODULE, ::FreeLibrary>>;
using UniqueBitmap = UniqueWinHandle<NullHandleTraits<HBITMAP, ::DeleteObject>>;
using UniqueRegion = UniqueWinHandle<NullHandleTraits<HRGN, ::DeleteObject>>;
using UniqueFont = UniqueWinHandle<NullHandleTraits<HFONT, ::DeleteObject>>;
using UniqueMenu = UniqueWinHandle<NullHandleTraits<HMENU, ::DestroyMenu>>;
using UniqueMemoryDC = UniqueWinHandle<NullHandleTraits<HDC, ::DeleteDC>>;
using UniqueLocal = UniqueWinHandle<NullHandleTraits<HLOCAL, ::LocalFree>>;
using UniqueGlobal = UniqueWinHandle<NullHandleTraits<HGLOBAL, ::GlobalFree>>;

// Memory from the COM task allocator (PIDLs, shell strings, item arrays).
template <typename T> using UniqueCoTaskMem = UniqueWinHandle<NullHandleTraits<T*, ::CoTaskMemFree>>;

// A BSTR (oleaut32).
using UniqueBstr = UniqueWinHandle<NullHandleTraits<BSTR, ::SysFreeString>>;

// Both handles of a started process.
struct ProcessHandles {
    ProcessHandles() = default;
    explicit ProcessHandles(const PROCESS_INFORMATION& info) : process(info.hProcess), thread(info.hThread) { }
    UniqueHandle process;
    UniqueHandle thread;
};

// Runs a function when the scope ends, unless dismissed.
template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) { }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit()
    {
        if (m_active)
            m_f();
    }
    void Dismiss() { m_active = false; }

private:
    F m_f;
    bool m_active = true;
};

// A COM interface pointer that releases its reference.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    // Adopts a reference the caller owns.
    explicit ComPtr(T* p) : m_p(p) { }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) { }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }
    ~ComPtr() { reset(); }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T** put()
    {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    explicit operator bool() const { return m_p != nullptr; }
    // Hands the reference to the caller.
    T* release() { return std::exchange(m_p, nullptr); }
    void reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};
