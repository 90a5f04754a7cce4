#include "engine/SetupListFile.h"

#include <memory>

#include "common/AesCipher.h"
#include "common/FileSystem.h"

namespace {

void RemoveByteOrderMark(std::string& text)
{
    if (text.size() >= 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
}

}  // namespace

bool ReadListFile(const std::wstring& path, bool decode, std::string& text)
{
    text = FileSystem::ReadFileToString(path, true);
    RemoveByteOrderMark(text);
    if (decode)
        text = AesDecodeText(text);
    Json::Value root;
    return ParseListText(text, root);
}

bool ReadEmbeddedList(HMODULE module, std::string& text)
{
    text.clear();
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kEmbeddedListName), MAKEINTRESOURCEW(kEmbeddedListType));
    if (!resource)
        return false;
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, resource);
    if (!data || size == 0)
        return false;
    text.assign(static_cast<const char*>(data), size);
    RemoveByteOrderMark(text);
    Json::Value root;
    return ParseListText(text, root);
}
