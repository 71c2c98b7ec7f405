#pragma once
/* The program's version, written here only: the resources, the window caption, the about
   window, the build and the release packages all take it from this file. */
#define QUARNEL_VERSION_MAJOR 2
#define QUARNEL_VERSION_MINOR 50
#define QUARNEL_VERSION_TEXT "2.50"
#define QUARNEL_WINDOW_CAPTION "Quarnel Backup V2.50"
#define QUARNEL_ABOUT_VERSION "Version 2.50"
