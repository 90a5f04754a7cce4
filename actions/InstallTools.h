#pragma once
// Base of the executors; the shell helpers (link files, change
// notification) of the shortcut operations join it with those operations.
class InstallTools {
public:
    virtual ~InstallTools() = default;
};
