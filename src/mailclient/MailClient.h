#pragma once
// Ending and starting Outlook Express (msimn.exe).

namespace quarnel::mailclient {

// Ends every running process whose file name is msimn.exe in any letter case; does not wait.
void EndMailClient();
// Starts msimn.exe from the folder its App Paths entry names, minimized, without waiting.
void StartMailClient();

}  // namespace quarnel::mailclient
