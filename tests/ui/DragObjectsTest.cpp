// The OLE objects of a drag-out, used directly as a drop target and the
// drag loop would use them, with their reference counts; and the tag file in
// a hostile folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "common/Handles.h"
#include "framework/velui_framework/DragDropObjects.h"
#include "framework/velui_framework/DragTagFile.h"
#include "tests/support/TestSupport.h"

namespace {

FORMATETC HDrop(DWORD tymed = TYMED_HGLOBAL, DWORD aspect = DVASPECT_CONTENT)
{
    return FORMATETC {CF_HDROP, nullptr, aspect, -1, tymed};
}

// A data object holding one name, owned by the test.
ComPtr<CDataObject> MakeData(const std::wstring& name)
{
    auto* raw = new CDataObject();
    raw->AddRef();
    ComPtr<CDataObject> data(raw);
    EXPECT_TRUE(CopyNamesToHGlobal(data->hGlobal, {name}));
    return data;
}

// A global block holding the text, with or without its zero.
HGLOBAL TextBlock(const std::wstring& text, bool terminated)
{
    const size_t units = text.size() + (terminated ? 1 : 0);
    HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, units * sizeof(wchar_t));
    memcpy(::GlobalLock(block), text.c_str(), units * sizeof(wchar_t));
    ::GlobalUnlock(block);
    return block;
}

std::string ReadAll(const std::wstring& path)
{
    std::string bytes;
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file)
        return "<missing>";
    char buffer[256];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read)
        bytes.append(buffer, read);
    return bytes;
}

bool WriteAll(const std::wstring& path, const std::string& bytes)
{
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

const std::string kTag(velui::kDragTagContent, velui::kDragTagContentSize);

}  // namespace

TEST(DragData, OffersOnlyItsFileListAndGetDataHandsOutACopy)
{
    const long before = LiveDragObjects();
    {
        ComPtr<CDataObject> data = MakeData(L"C:\\temp\\tag.cfg");
        FORMATETC ok = HDrop();
        EXPECT_EQ(data->QueryGetData(&ok), S_OK);
        FORMATETC stream = HDrop(TYMED_ISTREAM);
        EXPECT_EQ(data->QueryGetData(&stream), DV_E_TYMED);
        FORMATETC text = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        EXPECT_EQ(data->QueryGetData(&text), DV_E_FORMATETC);
        FORMATETC icon = HDrop(TYMED_HGLOBAL, DVASPECT_ICON);
        EXPECT_EQ(data->QueryGetData(&icon), DV_E_DVASPECT);
        STGMEDIUM medium {};
        EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);

        ASSERT_EQ(data->GetData(&ok, &medium), S_OK);
        EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
        EXPECT_NE(medium.hGlobal, data->hGlobal);  // a copy the receiver frees
        EXPECT_EQ(medium.pUnkForRelease, nullptr);
        auto* header = static_cast<DROPFILES*>(::GlobalLock(medium.hGlobal));
        ASSERT_NE(header, nullptr);
        EXPECT_EQ(header->pFiles, 20u);
        EXPECT_EQ(sizeof(DROPFILES), 20u);
        EXPECT_TRUE(header->fWide);
        EXPECT_FALSE(header->fNC);
        const auto* names = reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(header) + 20);
        EXPECT_EQ(std::wstring(names), L"C:\\temp\\tag.cfg");
        EXPECT_EQ(names[wcslen(names) + 1], L'\0');  // the list's final zero
        ::GlobalUnlock(medium.hGlobal);
        wchar_t got[MAX_PATH] = {};
        EXPECT_EQ(::DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0), 1u);
        ::DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, got, MAX_PATH);
        EXPECT_EQ(std::wstring(got), L"C:\\temp\\tag.cfg");
        ::ReleaseStgMedium(&medium);

        STGMEDIUM here {};
        EXPECT_EQ(data->GetDataHere(&ok, &here), E_UNEXPECTED);
        FORMATETC canonical {};
        EXPECT_EQ(data->GetCanonicalFormatEtc(&ok, &canonical), E_NOTIMPL);
        DWORD connection = 0;
        EXPECT_EQ(data->DAdvise(&ok, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
        EXPECT_EQ(data->DUnadvise(0), OLE_E_ADVISENOTSUPPORTED);
        EXPECT_EQ(LiveDragObjects(), before + 1);
    }
    EXPECT_EQ(LiveDragObjects(), before);
}

TEST(DragData, SetDataTakesOnlyTheRegisteredTextFormat)
{
    ComPtr<CDataObject> data = MakeData(L"C:\\a");
    const CLIPFORMAT registered = static_cast<CLIPFORMAT>(::RegisterClipboardFormatW(CDataObject::kTextFormatName));
    ASSERT_NE(registered, 0);
    EXPECT_EQ(data->TextFormat(), registered);

    FORMATETC other = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium {TYMED_HGLOBAL, {nullptr}, nullptr};
    medium.hGlobal = TextBlock(L"nope", true);
    EXPECT_EQ(data->SetData(&other, &medium, FALSE), DV_E_FORMATETC);
    FORMATETC wrongAspect = {registered, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->SetData(&wrongAspect, &medium, FALSE), DV_E_FORMATETC);
    FORMATETC wrongMedium = {registered, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
    EXPECT_EQ(data->SetData(&wrongMedium, &medium, FALSE), DV_E_FORMATETC);
    EXPECT_FALSE(data->HasText());
    ::GlobalFree(medium.hGlobal);

    FORMATETC ours = {registered, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    medium.hGlobal = TextBlock(L"{\"done\":1}", true);
    EXPECT_EQ(data->SetData(&ours, &medium, TRUE), S_OK);  // released by the object
    EXPECT_TRUE(data->HasText());
    EXPECT_EQ(data->Text(), L"{\"done\":1}");
    // A text without its zero ends with its block.
    STGMEDIUM open {TYMED_HGLOBAL, {nullptr}, nullptr};
    open.hGlobal = TextBlock(L"abc", false);
    EXPECT_EQ(data->SetData(&ours, &open, FALSE), S_OK);
    EXPECT_EQ(data->Text().substr(0, 3), L"abc");
    EXPECT_LE(data->Text().size(), ::GlobalSize(open.hGlobal) / sizeof(wchar_t));
    ::GlobalFree(open.hGlobal);
}

TEST(DragData, EnumeratorsWalkCopyAndCloneTheFormats)
{
    const long before = LiveDragObjects();
    {
        ComPtr<CDataObject> data = MakeData(L"C:\\a");
        ComPtr<IEnumFORMATETC> formats;
        EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, formats.put()), E_NOTIMPL);
        EXPECT_FALSE(formats);
        ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.put()), S_OK);
        FORMATETC got[3] = {};
        ULONG fetched = 99;
        EXPECT_EQ(formats->Next(3, got, &fetched), S_FALSE);  // one of three
        EXPECT_EQ(fetched, 1u);
        EXPECT_EQ(got[0].cfFormat, CF_HDROP);
        EXPECT_EQ(got[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
        EXPECT_EQ(got[0].lindex, -1);
        EXPECT_EQ(formats->Next(1, got, &fetched), S_FALSE);
        EXPECT_EQ(fetched, 0u);
        EXPECT_EQ(formats->Reset(), S_OK);
        EXPECT_EQ(formats->Skip(1), S_OK);
        EXPECT_EQ(formats->Skip(1), S_FALSE);
        EXPECT_EQ(formats->Reset(), S_OK);
        EXPECT_EQ(formats->Next(1, got, nullptr), S_OK);  // a single item needs no count
        EXPECT_EQ(LiveDragObjects(), before + 2);
    }
    EXPECT_EQ(LiveDragObjects(), before);

    // Target devices are copied for every holder; clones keep the cursor.
    const DWORD size = sizeof(DVTARGETDEVICE) + 8;
    auto* device = static_cast<DVTARGETDEVICE*>(::CoTaskMemAlloc(size));
    memset(device, 0x5A, size);
    device->tdSize = size;
    FORMATETC two[2] = {{CF_HDROP, device, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
                        {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}};
    auto* raw = new CMyEnumFormatEtc(two, 2);
    raw->AddRef();
    ComPtr<IEnumFORMATETC> walker(raw);
    ::CoTaskMemFree(device);  // the enumerator has its own copy
    FORMATETC first {};
    ASSERT_EQ(walker->Next(1, &first, nullptr), S_OK);
    ASSERT_NE(first.ptd, nullptr);
    EXPECT_EQ(first.ptd->tdSize, size);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(first.ptd)[size - 1], 0x5A);
    ::CoTaskMemFree(first.ptd);
    ComPtr<IEnumFORMATETC> clone;
    ASSERT_EQ(walker->Clone(clone.put()), S_OK);
    FORMATETC second {};
    ASSERT_EQ(clone->Next(1, &second, nullptr), S_OK);
    EXPECT_EQ(second.cfFormat, CF_TEXT);
    EXPECT_EQ(clone->Skip(1), S_FALSE);
    EXPECT_EQ(walker->Next(1, &second, nullptr), S_OK);  // the original kept its own cursor
    EXPECT_EQ(second.cfFormat, CF_TEXT);
    walker.reset();
    clone.reset();
    EXPECT_EQ(LiveDragObjects(), before);
}

TEST(DragSource, DecidesDropOrCancelAndCountsItsReferences)
{
    const long before = LiveDragObjects();
    ComPtr<CDataObject> data = MakeData(L"C:\\a");
    auto* raw = new CDropSource({L"C:\\a"}, data.get());
    EXPECT_EQ(raw->AddRef(), 1u);
    ComPtr<CDropSource> source(raw);
    IDropTarget* wrong = nullptr;
    EXPECT_EQ(source->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&wrong)), E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(source->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->Release(), 1u);

    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_CANCEL);  // nothing accepted it yet
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_DROP);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_NONE), DRAGDROP_S_USEDEFAULTCURSORS);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, 0), DRAGDROP_S_CANCEL);

    // The source keeps the data object alive after its creator lets go.
    data.reset();
    EXPECT_EQ(LiveDragObjects(), before + 2);
    source.reset();
    EXPECT_EQ(LiveDragObjects(), before);
}

TEST(DragTagFile, WrittenHiddenWithRetriesPastNamesTakenByFoldersOrLinks)
{
    ScratchFolder folder;
    const std::wstring plain = folder / velui::kDragTagName;
    EXPECT_EQ(velui::BuildDragTagFile(folder.Path()), plain);
    EXPECT_EQ(ReadAll(plain), kTag);
    EXPECT_TRUE(::GetFileAttributesW(plain.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // An old tag file of ours is written again.
    ASSERT_TRUE(WriteAll(plain, "stale content"));
    EXPECT_EQ(velui::BuildDragTagFile(folder.Path()), plain);
    EXPECT_EQ(ReadAll(plain), kTag);
    ASSERT_TRUE(::DeleteFileW(plain.c_str()));

    // Names taken by something else: "(1)", then "(2)" appended to that.
    ASSERT_TRUE(::CreateDirectoryW(plain.c_str(), nullptr));
    EXPECT_EQ(velui::BuildDragTagFile(folder.Path()), plain + L"(1)");
    ScratchFolder elsewhere;
    const std::wstring victim = elsewhere / L"victim.txt";
    ASSERT_TRUE(WriteAll(victim, "keep me"));
    ASSERT_TRUE(::DeleteFileW((plain + L"(1)").c_str()));
    if (PlantHostLink(plain + L"(1)", elsewhere.Path().substr(0, elsewhere.Path().size() - 1))) {
        EXPECT_EQ(velui::BuildDragTagFile(folder.Path()), plain + L"(1)(2)");
        RemoveFromHost(plain + L"(1)");
    } else {
        ADD_FAILURE() << "could not plant a link";
    }
    EXPECT_EQ(ReadAll(victim), "keep me");
    EXPECT_EQ(ReadAll(elsewhere / velui::kDragTagName), "<missing>");
}

TEST(DragTagFile, GivesUpAfterThirtyTwoTakenNames)
{
    ScratchFolder folder;
    std::wstring path = folder / velui::kDragTagName;
    for (int i = 0; i < 32; ++i) {
        if (i > 0)
            path += L"(" + std::to_wstring(i) + L")";
        ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr)) << i;
    }
    EXPECT_EQ(velui::BuildDragTagFile(folder.Path()), L"");
    ::RemoveDirectoryW((path + L"(32)").c_str());  // never tried
    EXPECT_EQ(::GetFileAttributesW((path + L"(32)").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(DragTagFile, OnlyAPlainCopyWithOurNameAndContentIsDeleted)
{
    ScratchFolder folder;
    const std::wstring copy = folder / velui::kDragTagName;
    ASSERT_TRUE(WriteAll(copy, kTag));
    EXPECT_EQ(velui::DeleteDragTagCopy(copy), velui::TagDeleteResult::Deleted);
    EXPECT_EQ(::GetFileAttributesW(copy.c_str()), INVALID_FILE_ATTRIBUTES);

    // A copy the shell renamed still counts; any case.
    const std::wstring renamed = folder / L"VELUI_{60AE33AA-3199-4329-8058-682ABD38DF8E} (2).cfg";
    ASSERT_TRUE(WriteAll(renamed, kTag));
    EXPECT_EQ(velui::DeleteDragTagCopy(renamed), velui::TagDeleteResult::Deleted);

    // Our name in a folder above the file is not our name.
    const std::wstring named = folder / velui::kDragTagName;
    ASSERT_TRUE(::CreateDirectoryW(named.c_str(), nullptr));
    const std::wstring inside = named + L"\\report.doc";
    ASSERT_TRUE(WriteAll(inside, kTag));
    EXPECT_FALSE(velui::NamesDragTag(inside));
    EXPECT_EQ(velui::DeleteDragTagCopy(inside), velui::TagDeleteResult::NotOurs);
    EXPECT_EQ(ReadAll(inside), kTag);
    // The folder itself has our name but is no file.
    EXPECT_EQ(velui::DeleteDragTagCopy(named), velui::TagDeleteResult::NotOurs);
    EXPECT_NE(::GetFileAttributesW(named.c_str()), INVALID_FILE_ATTRIBUTES);

    // A file with our name and other content is someone else's.
    const std::wstring other = folder / (std::wstring(velui::kDragTagName) + L"(1)");
    ASSERT_TRUE(WriteAll(other, "user data"));
    EXPECT_EQ(velui::DeleteDragTagCopy(other), velui::TagDeleteResult::NotOurs);
    EXPECT_EQ(ReadAll(other), "user data");

    // A link with our name: neither it nor what it points to goes.
    ScratchFolder target;
    ASSERT_TRUE(WriteAll(target / velui::kDragTagName, kTag));
    const std::wstring link = folder / (std::wstring(velui::kDragTagName) + L"(2)");
    ASSERT_TRUE(PlantHostLink(link, target.Path().substr(0, target.Path().size() - 1)));
    EXPECT_EQ(velui::DeleteDragTagCopy(link), velui::TagDeleteResult::NotOurs);
    EXPECT_EQ(ReadAll(target / velui::kDragTagName), kTag);
    RemoveFromHost(link);
    EXPECT_EQ(velui::DeleteDragTagCopy(folder / L"gone.cfg"), velui::TagDeleteResult::NotOurs);
}
