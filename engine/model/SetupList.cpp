#include "engine/model/SetupList.h"

#include "common/CodeChange.h"

bool IsServiceComponentName(const std::string& utf8Name)
{
    return CCodeChange::StringUTF8toUTF16(utf8Name) == L"Service";
}

bool IsServiceComponent(const _SetupList& record)
{
    return IsServiceComponentName(record.strName);
}
