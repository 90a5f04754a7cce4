#pragma once
// The framework protocol texts sent to the device service's window.
#include <string>

// The message the service passes on to a running component: by product id
// ("116442", "exit") or by main-window class name ("quit"). The id is
// inserted verbatim.
std::string FrameworkQuitMessage(const std::string& id);
// The service's own "quit".
std::string FrameworkServiceQuitMessage();
