#include "tests/bootstrap/BootstrapTestSupport.h"

#include <sstream>

#include "common/CodeChange.h"
#include "common/FileSystem.h"

const char kDefaultChannel[] = "Qm9ndXNDaGFubmVsVmFsdWVGb3JTcGVjT25seTEyMzQ=";

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

}  // namespace

SetupResources::SetupResources(const std::wstring& name)
    : m_path(TestExeDirectory() + name + L".exe"),
      m_module(::LoadLibraryExW(m_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE))
{
}

PrivateTemp::PrivateTemp() : m_temp(m_scratch / L"temp\\"), m_oldTmp(Env(L"TMP")), m_oldTemp(Env(L"TEMP"))
{
    FileSystem::CreateDirectoryTree(m_temp);
    ::SetEnvironmentVariableW(L"TMP", m_temp.c_str());
    ::SetEnvironmentVariableW(L"TEMP", m_temp.c_str());
    ::SetEnvironmentVariableW(L"LARKSPUR_FAKE_ENGINE_LOG", LogPath().c_str());
}

PrivateTemp::~PrivateTemp()
{
    ::SetEnvironmentVariableW(L"TMP", m_oldTmp.empty() ? nullptr : m_oldTmp.c_str());
    ::SetEnvironmentVariableW(L"TEMP", m_oldTemp.empty() ? nullptr : m_oldTemp.c_str());
    ::SetEnvironmentVariableW(L"LARKSPUR_FAKE_ENGINE_LOG", nullptr);
}

std::map<std::string, std::string> PrivateTemp::EngineRecord() const
{
    std::map<std::string, std::string> record;
    std::istringstream in(FileSystem::ReadFileToString(LogPath(), true));
    std::string line;
    while (std::getline(in, line)) {
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            record[line] = "";
        else
            record[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return record;
}

std::set<std::wstring> PrivateTemp::WorkFolders() const
{
    std::set<std::wstring> all = TreeOf(m_temp + L"Setup\\");
    std::set<std::wstring> top;
    for (const auto& entry : all) {
        if (entry.find(L'\\') == entry.size() - 1)
            top.insert(entry.substr(0, entry.size() - 1));
    }
    return top;
}

std::set<std::wstring> TreeOf(const std::wstring& folder)
{
    return ListFolderTree(folder);
}
