#include "bootstrap/LanguageStrings.h"

#include <rapidxml/rapidxml.hpp>

#include <vector>

#include "common/CodeChange.h"

namespace {

const int kLanguageResourceId = 161;

bool SameCodeIgnoringAsciiCase(const std::string& a, const char* b, size_t bLength)
{
    if (a.size() != bLength)
        return false;
    for (size_t i = 0; i < bLength; ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string Text(const char* data, size_t size)
{
    return data ? std::string(data, size) : std::string();
}

CLanguageTable& ProcessTable()
{
    static CLanguageTable table;
    return table;
}

}  // namespace

void CLanguageTable::LoadFromXml(const std::string& xml, const std::wstring& code)
{
    std::vector<char> buffer(xml.begin(), xml.end());
    buffer.push_back('\0');
    rapidxml::xml_document<char> doc;
    try {
        doc.parse<0>(buffer.data());
    } catch (const rapidxml::parse_error&) {
        return;
    }
    rapidxml::xml_node<char>* root = doc.first_node();
    while (root && root->type() != rapidxml::node_element)
        root = root->next_sibling();
    if (!root)
        return;
    const std::string wanted = CCodeChange::StringUTF16toANSI(code);
    for (rapidxml::xml_node<char>* type = root->first_node("Type"); type; type = type->next_sibling()) {
        if (type->type() != rapidxml::node_element)
            continue;
        rapidxml::xml_attribute<char>* lan = type->first_attribute("Lan");
        const char* lanValue = lan ? lan->value() : "";
        size_t lanSize = lan ? lan->value_size() : 0;
        if (!SameCodeIgnoringAsciiCase(wanted, lanValue, lanSize))
            continue;
        for (rapidxml::xml_node<char>* item = type->first_node(); item; item = item->next_sibling()) {
            if (item->type() != rapidxml::node_element)
                continue;
            rapidxml::xml_attribute<char>* id = item->first_attribute("id");
            if (!id)
                continue;
            m_strings[CCodeChange::StringUTF8toUTF16(Text(id->value(), id->value_size()))] =
                CCodeChange::StringUTF8toUTF16(Text(item->value(), item->value_size()));
        }
    }
}

void CLanguageTable::LoadFromModule(HMODULE module, const std::wstring& code)
{
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(kLanguageResourceId), L"XML");
    if (!info)
        return;
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(module, info);
    if (!data || size == 0)
        return;
    LoadFromXml(std::string(static_cast<const char*>(data), size), code);
}

std::wstring CLanguageTable::Get(const std::wstring& id) const
{
    auto it = m_strings.find(id);
    return it == m_strings.end() ? std::wstring() : it->second;
}

void LoadLanguageStrings(const std::wstring& code)
{
    LoadLanguageStrings(::GetModuleHandleW(nullptr), code);
}

void LoadLanguageStrings(HMODULE module, const std::wstring& code)
{
    ProcessTable().LoadFromModule(module, code);
}

std::wstring GetLanguageString(const std::wstring& id)
{
    return ProcessTable().Get(id);
}
