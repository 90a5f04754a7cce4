#include "engine/BodyWait.h"

#include <tlhelp32.h>

#include <chrono>

#include "common/BodyMarkers.h"
#include "common/FileSystem.h"
#include "engine/model/WorkerStop.h"

namespace {

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ULONGLONG CreationTime(HANDLE process)
{
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

BodyState WaitForBodyFiles(const std::wstring& engineFolder, HANDLE setup)
{
    return WaitForBodyFiles(engineFolder, setup, Exists);
}

BodyState WaitForBodyFiles(const std::wstring& engineFolder, HANDLE setup, const MarkerLookup& exists)
{
    const std::wstring finished = engineFolder + kBodyFinishedMarker;
    const std::wstring failed = engineFolder + kBodyFailedMarker;
    for (;;) {
        if (exists(finished))
            return BodyState::Ready;
        if (exists(failed))
            return BodyState::Failed;
        if (setup && ::WaitForSingleObject(setup, 0) == WAIT_OBJECT_0) {
            // The marker may have been written just before setup ended.
            if (exists(finished))
                return BodyState::Ready;
            return BodyState::SetupGone;
        }
        InterruptibleSleep(std::chrono::milliseconds(100));
    }
}

UniqueHandle OpenParentProcess()
{
    const DWORD self = ::GetCurrentProcessId();
    DWORD parentId = 0;
    {
        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot)
            return UniqueHandle();
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
             more = ::Process32NextW(snapshot.get(), &entry)) {
            if (entry.th32ProcessID == self) {
                parentId = entry.th32ParentProcessID;
                break;
            }
        }
    }
    if (parentId == 0)
        return UniqueHandle();
    // PROCESS_QUERY_INFORMATION rather than the limited right, which XP lacks.
    UniqueHandle parent(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, parentId));
    if (!parent)
        return UniqueHandle();
    // A process number is re-used once its process has ended: a "parent" that
    // started after this process is someone else.
    ULONGLONG parentStart = CreationTime(parent.get());
    ULONGLONG ownStart = CreationTime(::GetCurrentProcess());
    if (parentStart == 0 || ownStart == 0 || parentStart > ownStart)
        return UniqueHandle();
    return parent;
}
