#pragma once
// Starting a program for the user at the desktop rather than as this elevated
// run. The desktop shell starts it (IShellDispatch2::ShellExecute reached
// from the shell's desktop view), so it runs with the shell's own token: no
// Administrators group, no privileges, and after an over-the-shoulder
// elevation as the user at the desktop, not as the administrator. Only where
// no shell runs (no desktop view to be found: a service session, a
// deployment run as LocalSystem) is the program started with this run's
// token lowered to medium integrity; a shell that runs but refuses is never
// bypassed that way.
#include <windows.h>

#include <string>

namespace MediumStart {

struct Program {
    std::wstring file;        // full path of the program
    std::wstring parameters;  // what follows the program's name on its command line
    std::wstring folder;      // its working folder
};

enum class Route { DesktopShell, LoweredToken, NotStarted };

// The variable parts of a start; tests replace them (ScopedStarter).
class Starter {
public:
    virtual ~Starter() = default;
    // S_OK: the desktop shell started it; S_FALSE: no desktop shell runs;
    // an error: a shell runs but did not start it.
    virtual HRESULT ThroughDesktopShell(const Program& program) = 0;
    // Starts the command line with this process's token at medium integrity.
    virtual HRESULT WithLoweredToken(const std::wstring& commandLine, const std::wstring& folder) = 0;
};

// The system's starter.
Starter& SystemStarter();
// The starter in force: the system's unless a ScopedStarter replaces it.
Starter& CurrentStarter();

class ScopedStarter {
public:
    explicit ScopedStarter(Starter& starter);
    ~ScopedStarter();
    ScopedStarter(const ScopedStarter&) = delete;
    ScopedStarter& operator=(const ScopedStarter&) = delete;

private:
    Starter* m_previous;
};

// The lowered-token command line: the file in quotes (a path with blanks
// must never start "C:\Program.exe"), then the parameters.
std::wstring CommandLine(const Program& program);

// Starts the program with CurrentStarter(); the route it took.
Route Start(const Program& program);

}  // namespace MediumStart
