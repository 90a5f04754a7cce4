#pragma once
// Owners for Windows handles: each closes its handle exactly once.
#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueWinHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueWinHandle() = default;
    explicit UniqueWinHandle(Handle h) : m_h(h) {}
    UniqueWinHandle(const UniqueWinHandle&) = delete;
    UniqueWinHandle& operator=(const UniqueWinHandle&) = delete;
    UniqueWinHandle(UniqueWinHandle&& other) noexcept : m_h(other.release()) {}
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

struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::RegCloseKey(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::FindClose(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueWinHandle<KernelHandleTraits>;
using UniqueHKey = UniqueWinHandle<RegKeyTraits>;
using UniqueFindHandle = UniqueWinHandle<FindHandleTraits>;
using UniqueModule = UniqueWinHandle<ModuleTraits>;

// A COM interface pointer that releases its reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
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
    void reset()
    {
        if (m_p)
            m_p->Release();
        m_p = nullptr;
    }

private:
    T* m_p = nullptr;
};
