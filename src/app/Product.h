#pragma once
// The program's names as its windows and message boxes show them.
#include "app/Version.h"

namespace quarnel::app {

inline constexpr const char* kApplicationTitle = "Quarnel Backup";
inline constexpr const char* kWindowCaption = QUARNEL_WINDOW_CAPTION;
inline constexpr const char* kWebsite = "https://quarnel.example.org/";

}  // namespace quarnel::app
