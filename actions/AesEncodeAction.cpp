// "aesencode": puts a file in place in its encoded form.
#include "actions/ActionFields.h"
#include "actions/Installer.h"
#include "common/AesCipher.h"
#include "common/FileSystem.h"

bool Installer::AesEncode(std::shared_ptr<Json::Value> action, std::string&)
{
    std::wstring src = ExpandedText(*action, "aesencode", "src");
    std::wstring dst = ExpandedText(*action, "aesencode", "dst");
    std::string bytes = FileSystem::ReadFileToString(src, true);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    std::string encoded = AesEncodeText(bytes);
    FileSystem::WriteBufferToFile(dst.c_str(), encoded.data(), static_cast<DWORD>(encoded.size()));
    return true;
}
