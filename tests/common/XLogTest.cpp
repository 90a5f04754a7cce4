#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/XLog.h"
#include "tests/support/TestSupport.h"

namespace {

typedef int(WINAPI* TakeFn)(wchar_t*, int);

std::wstring TakeRecords()
{
    HMODULE module = ::GetModuleHandleW(L"vellog.dll");
    if (!module)
        return L"<not loaded>";
    auto take = reinterpret_cast<TakeFn>(reinterpret_cast<void*>(::GetProcAddress(module, "FakeVellogTake")));
    std::wstring buffer(65536, L'\0');
    take(buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.c_str());
}

std::wstring RunIsolated(const wchar_t* test)
{
    std::wstring exe = TestExeDirectory() + L"common_tests.exe";
    std::wstring cmd = L"\"" + exe + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
    return std::to_wstring(RunAndWait(cmd));
}

}  // namespace

// Each scenario runs in its own process so the library binding starts fresh.
TEST(XLog, RecordsVanishUntilTheLibraryIsLoadedThenBind)
{
    EXPECT_EQ(RunIsolated(L"XLogIsolated.DISABLED_LateLoadBinds"), L"0");
}

TEST(XLog, CleanUpDropsLaterRecords)
{
    EXPECT_EQ(RunIsolated(L"XLogIsolated.DISABLED_CleanUpDropsLaterRecords"), L"0");
}

TEST(XLogIsolated, DISABLED_LateLoadBinds)
{
    XLogUntagged(XLOG_INFO, L"before %d", 1);
    EXPECT_FALSE(xlog_detail::IsBound());
    HMODULE module = ::LoadLibraryW((TestExeDirectory() + L"vellog.dll").c_str());
    ASSERT_NE(module, nullptr);

    XLogUntagged(XLOG_INFO, L"todo %s", L"wide");
    EXPECT_TRUE(xlog_detail::IsBound());
    XTRACE_FUNC(L"velui::frame::frame");
    XTRACE_FUNC_ARGS(L"FUNCTION: %s(uFlag=%08X)", L"CWndShadow::SetFlag", 0x2Au);
    XLog(XLOG_FUNC, L"", L"tagfile:%S", "narrow");

    ::SetLastError(0);
    HANDLE h = ::CreateFileW(L"Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const int line = __LINE__ + 1;
    XASSERT(h != INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));  // left as the failed call set it
    XASSERT(1 + 1 == 2);
    XASSERT_HR(false, E_NOINTERFACE);

    std::wstring expected = L"32||todo wide\n"
                            L"16|func|FUNCTION: velui::frame::frame\n"
                            L"16|func|FUNCTION: CWndShadow::SetFlag(uFlag=0000002A)\n"
                            L"16||tagfile:narrow\n"
                            L"64|assert|ASSERT(h != INVALID_HANDLE_VALUE) LastError=0X3 @ " +
                            WidenAscii(__FILE__) + L"(" + std::to_wstring(line) + L")\n" +
                            L"64|assert|ASSERT(false) LastError=0X3 @ " + WidenAscii(__FILE__) + L"(" +
                            std::to_wstring(line + 3) + L")HR=0X80004002\n";
    EXPECT_EQ(TakeRecords(), expected);

    // Many threads logging at once all reach the library.
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 50; ++i)
                XLogUntagged(XLOG_INFO, L"n %d", i);
        });
    for (auto& t : threads)
        t.join();
    std::wstring records = TakeRecords();
    size_t count = 0;
    for (wchar_t c : records)
        count += c == L'\n';
    EXPECT_EQ(count, 400u);
}

TEST(XLogIsolated, DISABLED_CleanUpDropsLaterRecords)
{
    ASSERT_NE(::LoadLibraryW((TestExeDirectory() + L"vellog.dll").c_str()), nullptr);
    XLogUntagged(XLOG_INFO, L"one");
    EXPECT_EQ(TakeRecords(), L"32||one\n");
    xlog_detail::CleanUp();
    XLogUntagged(XLOG_INFO, L"two");
    XASSERT(false);
    EXPECT_FALSE(xlog_detail::IsBound());
    EXPECT_EQ(TakeRecords(), L"");
}
