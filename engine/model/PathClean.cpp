// The folder-name cleaner, apart from the folder checks so that it can be
// fuzzed on its own.
#include "engine/model/InstallPath.h"

namespace {

template <typename Text>
Text CleanPathNameT(const Text& input, const typename Text::value_type* const* tokens, size_t tokenCount)
{
    using Char = typename Text::value_type;
    const size_t lastColon = input.rfind(Char(':'));
    if (lastColon != 1)
        return input;
    Text text = input;
    for (size_t i = 0; i < tokenCount; ++i) {
        const Text token(tokens[i]);
        const size_t at = text.find(token);
        if (at != Text::npos)
            text.erase(at, token.size());
    }
    text.insert(text.size() < 1 ? text.size() : 1, 1, Char(':'));
    const size_t keep = text.find_last_not_of(Char('\\'));
    if (keep != Text::npos)
        text.erase(keep + 1);
    // A drive root keeps its backslash: "D:\" names the root, "D:" the drive's
    // current folder, which no install check accepts.
    if (text.size() == 2 && input.size() > 2)
        text += Char('\\');
    return text;
}

const char* const kTokensA[] = {".", "..", "*",   "|",   ":",   "\"",   "<",    ">",   "?",
                                "/", ";",  "nul", "aux", "con", "com1", "com2", "lpt1"};
const wchar_t* const kTokensW[] = {L".", L"..", L"*",   L"|",   L":",   L"\"",   L"<",    L">",   L"?",
                                   L"/", L";",  L"nul", L"aux", L"con", L"com1", L"com2", L"lpt1"};

}  // namespace

std::string CleanPathName(const std::string& text)
{
    return CleanPathNameT(text, kTokensA, sizeof(kTokensA) / sizeof(kTokensA[0]));
}

std::wstring CleanPathName(const std::wstring& text)
{
    return CleanPathNameT(text, kTokensW, sizeof(kTokensW) / sizeof(kTokensW[0]));
}
