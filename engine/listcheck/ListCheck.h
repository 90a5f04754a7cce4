#pragma once
// The list checker: shapes, component fields, verbs, keys and placeholders of
// a setup list, judged by the engine's own verb tables and key readers.
#include <json/json.h>

#include <string>

#include "actions/VerbKeys.h"
#include "engine/listcheck/ListFindings.h"

// Checks one list for the executor that runs it (install: setup.ini,
// uninstall: uninst.ini).
void CheckList(const Json::Value& root, ExecutorKind kind, const std::string& label, ListFindings& findings);

// Every "copyfile" and "aesencode" source under "$CURRENTPATH$" must be in
// productFolder (the engine's folder at install time), except the files the
// package always places next to the engine.
void CheckCopySources(const Json::Value& setupRoot, const std::wstring& productFolder, const std::string& label,
                      ListFindings& findings);

// Warnings where the uninstall list does not take away what the install list
// puts in place: folders, registry keys, links, firewall exceptions, file
// associations and the service.
void CheckUninstallCovers(const Json::Value& setupRoot, const Json::Value& uninstRoot, const std::string& uninstLabel,
                          ListFindings& findings);
