// Resource identifiers shared by sonavi.rc and the code.
#pragma once
#define IDI_SONAVI 1
#define IDI_TRAY_NOT_READY 10
#define IDI_TRAY_CALLER_ID 11
