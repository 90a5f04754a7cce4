// Setup lists, plain and encoded: any bytes either do not parse or give a
// list whose components and actions read without a throw or a crash.
#include <json/json.h>

#include <memory>
#include <vector>

#include "common/AesCipher.h"
#include "engine/model/JsonFields.h"
#include "engine/SetupListFile.h"

namespace {

void ReadLikeTheEngine(const std::string& text)
{
    Json::Value root;
    if (!ParseListText(text, root) || !root.isObject())
        return;
    const Json::Value& installs = JsonMember(root, "installs");
    if (!installs.isArray())
        return;
    std::vector<std::shared_ptr<Json::Value>> actions;
    for (const Json::Value& element : installs) {
        JsonString(element, "id");
        JsonString(element, "name");
        JsonInt(element, "order");
        JsonString(element, "version");
        JsonBool(element, "nostart");
        for (const char* key : {"actions", "uninstall", "run"}) {
            const Json::Value& list = JsonMember(element, key);
            if (!list.isArray())
                continue;
            for (const Json::Value& item : list) {
                actions.push_back(std::make_shared<Json::Value>(item));
                JsonString(item, "action");
                JsonString(item, "path");
            }
        }
    }
    // Messages carry lists back out as text.
    Json::StyledWriter().write(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadLikeTheEngine(bytes);
    // The same bytes as an installed, encoded uninst.ini.
    ReadLikeTheEngine(AesDecodeText(bytes));
    return 0;
}
