#pragma once
// Thread synchronisation on kernel objects. The C++20 semaphores of this
// toolchain (libstdc++ 12 on mingw, atomic waits through a waiter pool) lose
// wake-ups and touch freed memory under load, so the engine's waits use
// Win32 semaphores and events.
#include <windows.h>

#include <chrono>

#include "common/Handles.h"

// A counting semaphore with a ceiling; a release at the ceiling is refused.
class CSemaphore {
public:
    CSemaphore(LONG initial, LONG maximum) : m_handle(::CreateSemaphoreW(nullptr, initial, maximum, nullptr)) { }
    void Acquire() { ::WaitForSingleObject(m_handle.get(), INFINITE); }
    // False when the count is at its ceiling already.
    bool Release() { return ::ReleaseSemaphore(m_handle.get(), 1, nullptr) != FALSE; }
    bool Valid() const { return static_cast<bool>(m_handle); }

private:
    UniqueHandle m_handle;
};

// A manual-reset event: once set, it stays set.
class CManualEvent {
public:
    CManualEvent() : m_handle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) { }
    void Set() { ::SetEvent(m_handle.get()); }
    void Wait() const { ::WaitForSingleObject(m_handle.get(), INFINITE); }
    bool IsSet() const { return ::WaitForSingleObject(m_handle.get(), 0) == WAIT_OBJECT_0; }
    // True when the event was set within the time.
    bool WaitFor(std::chrono::milliseconds duration) const
    {
        return ::WaitForSingleObject(m_handle.get(), static_cast<DWORD>(duration.count())) == WAIT_OBJECT_0;
    }
    bool Valid() const { return static_cast<bool>(m_handle); }

private:
    UniqueHandle m_handle;
};
