#pragma once
#include "app/MainState.h"

namespace quarnel::app {

// Fills ComputerName, LogonUser and WindowsFolder; a failed query leaves its field empty.
void GatherMachineFacts(MainState& state);
// The Windows folder as the system reports it now (255-character buffer).
std::string QueryWindowsFolder();

}  // namespace quarnel::app
