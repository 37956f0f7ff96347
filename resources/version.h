// The program's version, in one place.
#pragma once
#define SONAVI_VERSION_MAJOR 1
#define SONAVI_VERSION_MINOR 0
#define SONAVI_VERSION_RELEASE 2
#define SONAVI_VERSION_BUILD 117
#define SONAVI_VERSION_TEXT "1.0.2.117"
