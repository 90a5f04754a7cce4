// checklists.exe: checks a product's setup lists, or plans their run.
//   checklists [--product <folder>] [--plan --dir <folder> --winver xp|7|10 [--setup <folder>]]
//              <setup.ini> [<uninst.ini>]
// A lone list named uninst.ini is checked as an uninstall list. Exit code 0
// when no list has errors (warnings allowed), 1 on errors, 2 on usage errors.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/CodeChange.h"
#include "engine/listcheck/ListCheck.h"
#include "engine/listcheck/ListLoad.h"
#include "engine/listcheck/ListPlan.h"

namespace {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr,
                 "checklists: %s\nusage: check-lists [--product <folder>] [--plan --dir <install folder> --winver "
                 "xp|7|10 [--setup <engine folder>]] <setup.ini> [<uninst.ini>]\n",
                 problem.c_str());
    return 2;
}

std::string FileLabel(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return Utf8(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".\\") : path.substr(0, slash + 1);
}

bool IsUninstallName(const std::wstring& path)
{
    std::wstring name = Utf16(FileLabel(path));
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(towlower(c));
    return name == L"uninst.ini";
}

struct ListArg {
    std::wstring path;
    ExecutorKind kind;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    std::wstring product, dir, setupDir;
    std::string winver;
    bool plan = false;
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto value = [&](std::wstring& into) {
            if (i + 1 >= argc)
                return false;
            into = argv[++i];
            return true;
        };
        std::wstring text;
        if (arg == L"--product") {
            if (!value(product))
                return Usage("--product needs a folder");
        } else if (arg == L"--plan") {
            plan = true;
        } else if (arg == L"--dir") {
            if (!value(dir))
                return Usage("--dir needs a folder");
        } else if (arg == L"--setup") {
            if (!value(setupDir))
                return Usage("--setup needs a folder");
        } else if (arg == L"--winver") {
            if (!value(text))
                return Usage("--winver needs xp, 7 or 10");
            winver = Utf8(text);
        } else if (arg.size() > 1 && arg[0] == L'-') {
            return Usage("unknown option " + Utf8(arg));
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty() || files.size() > 2)
        return Usage("give a setup.ini and, optionally, an uninst.ini");
    if (plan && (dir.empty() || PlanVersionText(winver).empty()))
        return Usage("--plan needs --dir <install folder> and --winver xp|7|10");
    if (!plan && (!dir.empty() || !winver.empty() || !setupDir.empty()))
        return Usage("--dir, --winver and --setup belong to --plan");

    std::vector<ListArg> lists;
    if (files.size() == 1)
        lists.push_back({files[0], IsUninstallName(files[0]) ? ExecutorKind::Uninstall : ExecutorKind::Install});
    else
        lists = {{files[0], ExecutorKind::Install}, {files[1], ExecutorKind::Uninstall}};

    ListFindings findings;
    std::vector<LoadedList> loaded;
    for (const ListArg& list : lists) {
        const std::string label = FileLabel(list.path);
        loaded.push_back(LoadListFile(list.path, label, findings));
        if (loaded.back().parsed) {
            CheckList(loaded.back().root, list.kind, label, findings);
            if (list.kind == ExecutorKind::Install && !product.empty())
                CheckCopySources(loaded.back().root, product, label, findings);
        }
    }
    if (lists.size() == 2 && loaded[0].parsed && loaded[1].parsed)
        CheckUninstallCovers(loaded[0].root, loaded[1].root, FileLabel(lists[1].path), findings);

    for (const ListFinding& finding : findings)
        Print(FormatFinding(finding) + "\n");
    const size_t errors = CountErrors(findings);
    for (size_t i = 0; i < lists.size(); ++i) {
        Print(FileLabel(lists[i].path) + ": " +
              (lists[i].kind == ExecutorKind::Install ? "install list" : "uninstall list") +
              (loaded[i].parsed ? (loaded[i].encoded ? ", encoded" : ", plain JSON") : "") + "\n");
    }
    Print(std::to_string(errors) + " error(s), " + std::to_string(findings.size() - errors) + " warning(s)\n");

    if (plan) {
        for (size_t i = 0; i < lists.size(); ++i) {
            if (!loaded[i].parsed)
                continue;
            PlanOptions options;
            options.kind = lists[i].kind;
            options.installDir = dir;
            options.winver = winver;
            options.setupDir = setupDir.empty() ? FolderOf(lists[i].path) : setupDir;
            std::string text, problem;
            if (!WritePlan(loaded[i].root, options, text, problem))
                return Usage(problem);
            Print("\n" + text);
        }
    }
    std::fflush(stdout);
    return errors ? 1 : 0;
}
