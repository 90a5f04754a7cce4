// The package index and the loaders behind "file://" requests.
#include <gtest/gtest.h>

#include "common/FileSystem.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/PackageImage.h"
#include "ui/MemFiles.h"
#include "ui/ResLoaders.h"

namespace {

std::string Load(CResLoader& loader, const std::wstring& path)
{
    const BYTE* data = nullptr;
    UINT size = 0;
    if (!loader.LoadFile(path, &data, &size))
        return "<none>";
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace

TEST(MemFiles, LookupIgnoresTheCaseOfStoredNamesAndLaterRecordsWin)
{
    MemFiles files;
    ASSERT_TRUE(files.Parse(BuildPackage({{"/app/Res/Logo_EN.png", "png"}, {"/a.htm", "one"}, {"/A.HTM", "two"}})));
    EXPECT_EQ(files.GetFile("/app/res/logo_en.png"), "png");
    EXPECT_EQ(files.GetFile("/a.htm"), "two");
    EXPECT_EQ(files.GetFile("/app/Res/Logo_EN.png"), "");  // callers lower-case first
    EXPECT_EQ(files.Count(), 2u);
}

TEST(MemFiles, EmptyShortAndZeroCountImagesGiveAnEmptyIndex)
{
    MemFiles files;
    EXPECT_FALSE(files.Parse(""));
    EXPECT_FALSE(files.Parse("\x01\x00"));
    EXPECT_FALSE(files.Parse(RawPackage(0, {}, "/a.htmdata")));
    EXPECT_FALSE(files.Parse(RawPackage(0x80000000u, {}, "")));  // negative as a signed count
    EXPECT_EQ(files.Count(), 0u);
}

TEST(MemFiles, HostileIndexesAreRefusedWholeAndNeverReadOutsideTheImage)
{
    const std::string good = BuildPackage({{"/a.htm", "aaaa"}});
    MemFiles files;
    // A count larger than the records that fit.
    std::string bigCount = good;
    bigCount[0] = 2;
    EXPECT_FALSE(files.Parse(bigCount));
    EXPECT_EQ(files.GetFile("/a.htm"), "");
    // Name or data past the end, and offsets whose sum wraps around 32 bits.
    const uint32_t base = 4 + 16 * 2;
    EXPECT_FALSE(
        files.Parse(RawPackage(2, {{base, 6, base + 6, 4}, {base + 10, 6, base + 16, 100}}, "/a.htmaaaa/b.htmbbbb")));
    EXPECT_FALSE(files.Parse(RawPackage(1, {{20, 0xFFFFFFF0u, 20, 1}}, "/a.htmaaaa")));
    EXPECT_FALSE(files.Parse(RawPackage(1, {{20, 6, 0xFFFFFFFFu, 2}}, "/a.htmaaaa")));
    EXPECT_EQ(files.Count(), 0u);
    // Overlapping records inside the image are served as they point.
    ASSERT_TRUE(files.Parse(RawPackage(2, {{36, 6, 42, 4}, {36, 2, 38, 8}}, "/a.htmaaaa")));
    EXPECT_EQ(files.GetFile("/a.htm"), "aaaa");
    EXPECT_EQ(files.GetFile("/a"), ".htmaaaa");
}

TEST(PackageLoader, RequestsAreNormalisedAndCachedUnderTheRequestedPath)
{
    CUidatLoader loader(BuildPackage({{"/app/installer/install.htm", "<p>install</p>"},
                                      {"/app/installer/res/Rotate11_en_US.png", "PNG"},
                                      {"/app/empty.txt", ""}}));
    EXPECT_EQ(Load(loader, L"app\\installer\\install.htm"), "<p>install</p>");
    EXPECT_EQ(Load(loader, L"APP\\Installer\\Install.HTM"), "<p>install</p>");
    EXPECT_EQ(Load(loader, L"/app/installer/res/rotate11_EN_us.png"), "PNG");
    EXPECT_EQ(Load(loader, L"app\\installer\\install.htm  "), "<p>install</p>");
    // Unservable: a zero-length file, a missing name, drive paths, web addresses, nothing.
    EXPECT_EQ(Load(loader, L"app\\empty.txt"), "<none>");
    EXPECT_EQ(Load(loader, L"app\\installer\\missing.htm"), "<none>");
    EXPECT_EQ(Load(loader, L"C:\\app\\installer\\install.htm"), "<none>");
    EXPECT_EQ(Load(loader, L"http://app/installer/install.htm"), "<none>");
    EXPECT_EQ(Load(loader, L""), "<none>");
    // The copy ends with a zero byte beyond its size and lives until freed.
    const BYTE* data = nullptr;
    UINT size = 0;
    ASSERT_TRUE(loader.LoadFile(L"app/installer/install.htm", &data, &size));
    EXPECT_EQ(data[size], 0);
    EXPECT_TRUE(loader.FreeFile(L"app/installer/install.htm"));
    EXPECT_FALSE(loader.FreeFile(L"app/installer/install.htm"));
    EXPECT_FALSE(loader.FreeFile(L"never/asked.htm"));
}

TEST(FolderLoader, ServesFilesOfOneByteToOneMebibyte)
{
    ScratchFolder scratch;
    FileSystem::WriteStringToFile(scratch / L"page.htm", "<p>x</p>");
    FileSystem::WriteStringToFile(scratch / L"empty.htm", "");
    FileSystem::WriteStringToFile(scratch / L"big.bin", std::string(1048577, 'b'));
    FileSystem::WriteStringToFile(scratch / L"max.bin", std::string(1048576, 'm'));
    CFileResLoader loader(scratch.Path());
    EXPECT_EQ(Load(loader, L"page.htm"), "<p>x</p>");
    EXPECT_EQ(Load(loader, scratch / L"page.htm"), "<p>x</p>");  // a path with ":" is used as it is
    EXPECT_EQ(Load(loader, L"empty.htm"), "<none>");
    EXPECT_EQ(Load(loader, L"big.bin"), "<none>");
    EXPECT_EQ(Load(loader, L"max.bin").size(), 1048576u);
    EXPECT_EQ(Load(loader, L"http://host/page.htm"), "<none>");
    EXPECT_EQ(Load(loader, L"missing.htm"), "<none>");
}

TEST(LoaderChain, AsksLoadersInOrderAndFreesThroughTheOneThatServed)
{
    ScratchFolder scratch;
    FileSystem::WriteStringToFile(scratch / L"only-on-disk.htm", "disk");
    MyResLoader chain(::GetModuleHandleW(nullptr));  // the test program's own package
    velui::ResRequest request;
    request.url = L"app\\installer\\absent.htm";
    EXPECT_FALSE(chain.LoadRes(request));  // no loader yet
    EXPECT_TRUE(chain.Init());
    EXPECT_EQ(chain.LoaderCount(), 1u);
    chain.AddLoader("file", scratch / L"no-such-folder");
    chain.AddLoader("zip", scratch.Path());
    EXPECT_EQ(chain.LoaderCount(), 1u);
    chain.AddLoader("file", scratch.Path());
    EXPECT_EQ(chain.LoaderCount(), 2u);
    EXPECT_FALSE(chain.LoadRes(request));
    velui::ResRequest packed;
    packed.url = L"APP\\installer\\plain.htm";
    ASSERT_TRUE(chain.LoadRes(packed));  // the package loader comes first
    EXPECT_NE(std::string(reinterpret_cast<const char*>(packed.data), packed.size).find("plain"), std::string::npos);
    chain.FreeRes(packed);
    velui::ResRequest disk;
    disk.url = L"only-on-disk.htm";
    ASSERT_TRUE(chain.LoadRes(disk));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(disk.data), disk.size), "disk");
    chain.FreeRes(disk);
    chain.FreeRes(disk);  // a second release finds no record and does nothing
}
