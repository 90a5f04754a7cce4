// Reference tests: every reftests/<area>/<name>.htm must paint exactly like
// its <name>-ref.htm. A failing pair leaves both pictures and their
// difference in reftest-failures/ next to the test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <gdiplus.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "htmlengine/Fonts.h"
#include "tests/htmlengine/EngineTestSupport.h"
#include "tests/support/PngEncoder.h"
#include "tests/support/TestSupport.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

struct Pair {
    std::wstring area, name;  // reftests\<area>\<name>.htm
};

std::string Narrow(const std::wstring& w)
{
    std::string out;
    for (wchar_t c : w)
        out += static_cast<char>(c < 128 ? c : '_');
    return out;
}

void PrintTo(const Pair& p, std::ostream* os)
{
    *os << Narrow(p.area + L"/" + p.name);
}

std::vector<Pair> FindPairs()
{
    std::vector<Pair> out;
    std::wstring root = TestExeDirectory() + L"reftests\\";
    WIN32_FIND_DATAW area;
    UniqueFindHandle a(FindFirstFileW((root + L"*").c_str(), &area));
    if (!a)
        return out;
    do {
        if (!(area.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || area.cFileName[0] == L'.')
            continue;
        WIN32_FIND_DATAW page;
        UniqueFindHandle p(FindFirstFileW((root + area.cFileName + L"\\*.htm").c_str(), &page));
        if (!p)
            continue;
        do {
            std::wstring n = page.cFileName;
            if (n.size() < 4 || n.compare(n.size() - 4, 4, L".htm") != 0)
                continue;
            n.resize(n.size() - 4);
            if (n.size() >= 4 && n.compare(n.size() - 4, 4, L"-ref") == 0)
                continue;
            out.push_back({area.cFileName, n});
        } while (FindNextFileW(p.get(), &page));
    } while (FindNextFileW(a.get(), &area));
    std::sort(out.begin(), out.end(),
              [](const Pair& x, const Pair& y) { return x.area != y.area ? x.area < y.area : x.name < y.name; });
    return out;
}

// Renders a page file; false when it cannot be read.
bool RenderPage(const std::wstring& relative, std::vector<uint32_t>& pixels)
{
    std::string html = ReadTestFile(relative);
    if (html.empty())
        return false;
    TestView view(kWidth, kHeight);
    std::wstring url = L"file://reftest/" + relative;
    std::replace(url.begin(), url.end(), L'\\', L'/');
    view.Load(html, url);
    view.Render();
    if (view.width != kWidth || view.height != kHeight)
        return false;
    pixels = view.pixels;
    return true;
}

void SavePicture(const std::vector<uint32_t>& pixels, const std::wstring& path)
{
    // Pages without a canvas colour paint nothing there: show that as white.
    std::vector<uint32_t> opaque(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t p = pixels[i];
        uint32_t inv = 255 - (p >> 24);
        auto ch = [&](int shift) { return std::min<uint32_t>(255, ((p >> shift) & 0xFF) + inv) << shift; };
        opaque[i] = 0xFF000000u | ch(16) | ch(8) | ch(0);
    }
    Gdiplus::Bitmap bmp(kWidth, kHeight, kWidth * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(opaque.data()));
    CLSID png;
    if (EncoderClsid(L"image/png", &png) >= 0)
        bmp.Save(path.c_str(), &png, nullptr);
}

// Number of pixels that differ; `diff` marks them red on a faded copy of `a`.
size_t Compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, std::vector<uint32_t>& diff)
{
    size_t n = 0;
    diff.assign(a.size(), 0);
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) {
            ++n;
            diff[i] = 0xFFFF0000u;
        } else {
            uint32_t over = std::min<uint32_t>(255, ((a[i] >> 8) & 0xFF) + 255 - (a[i] >> 24));  // green over white
            uint32_t grey = 176 + over / 4;
            diff[i] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
    }
    return n;
}

class Reftest : public ::testing::TestWithParam<Pair> { };

TEST_P(Reftest, MatchesReference)
{
    he::EnsureGdiplus();
    const Pair& p = GetParam();
    std::wstring base = L"reftests\\" + p.area + L"\\" + p.name;
    std::vector<uint32_t> test, ref, diff;
    ASSERT_TRUE(RenderPage(base + L".htm", test)) << Narrow(base);
    ASSERT_TRUE(RenderPage(base + L"-ref.htm", ref)) << Narrow(base) << "-ref.htm is missing";
    size_t bad = Compare(test, ref, diff);
    bool blank = std::all_of(ref.begin(), ref.end(), [&](uint32_t c) { return c == ref[0]; });
    if (GetEnvironmentVariableW(L"REFTEST_PICTURES", nullptr, 0) > 0) {
        // Keeps every rendered pair for a look.
        std::wstring dir = TestExeDirectory() + L"reftest-pictures\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        SavePicture(test, dir + p.area + L"-" + p.name + L".png");
        SavePicture(ref, dir + p.area + L"-" + p.name + L"-ref.png");
    }
    if (bad == 0 && !blank)
        return;
    std::wstring dir = TestExeDirectory() + L"reftest-failures\\";
    CreateDirectoryW(dir.c_str(), nullptr);
    std::wstring stem = dir + p.area + L"-" + p.name;
    SavePicture(test, stem + L".png");
    SavePicture(ref, stem + L"-ref.png");
    SavePicture(diff, stem + L"-diff.png");
    EXPECT_FALSE(blank) << Narrow(base) << ": the reference paints nothing, so it proves nothing";
    EXPECT_EQ(bad, 0u) << Narrow(base) << ": pixels differ; pictures in " << Narrow(stem) << "*.png";
}

std::string PairName(const ::testing::TestParamInfo<Pair>& info)
{
    std::string n = Narrow(info.param.area + L"_" + info.param.name);
    for (char& c : n)
        if (!isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return n;
}

INSTANTIATE_TEST_SUITE_P(Pages, Reftest, ::testing::ValuesIn(FindPairs()), PairName);

TEST(ReftestSuite, FindsThePages)
{
    // A missing copy of the page folder must not pass as "nothing failed".
    EXPECT_GE(FindPairs().size(), 50u);
}

}  // namespace
