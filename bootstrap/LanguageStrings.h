#pragma once
// The language resource of setup: an XML string table (type "XML", id 161)
// with one <Type Lan="..."> per language and <String id="...">text</String>
// entries. Callers supply their own defaults for missing strings.
#include <windows.h>

#include <map>
#include <string>

class CLanguageTable {
public:
    // Adds the strings of `code` (matched ASCII case-insensitively) from the
    // XML text; a later entry replaces an earlier one with the same id.
    // Malformed text adds nothing.
    void LoadFromXml(const std::string& xml, const std::wstring& code);
    // The same from resource 161 of type "XML" in `module`.
    void LoadFromModule(HMODULE module, const std::wstring& code);
    // The text stored under exactly `id`, or "".
    std::wstring Get(const std::wstring& id) const;
    const std::map<std::wstring, std::wstring>& Strings() const { return m_strings; }

private:
    std::map<std::wstring, std::wstring> m_strings;
};

// The process-wide table, filled from the executable's own resource.
void LoadLanguageStrings(const std::wstring& code);
// The same from another module's resource.
void LoadLanguageStrings(HMODULE module, const std::wstring& code);
std::wstring GetLanguageString(const std::wstring& id);
