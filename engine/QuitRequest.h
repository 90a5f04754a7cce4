#pragma once
// The quit requests sent to the device service's window (protocol_type "framework").
#include <string>

// The message the service passes on to a running component: by product id
// ("116442", "exit") or by main-window class name ("quit"). The id is
// inserted verbatim.
std::string QuitRequest(const std::string& id);
// The service's own "quit".
std::string ServiceQuitRequest();
