// Resource ids of Wayfolk-Tool.exe (used by the .rc file and the code).
#pragma once

#define IDI_WAYFOLK_TOOL 1
#define IDB_BUTTON_RELEASED 101
#define IDB_BUTTON_PRESSED 102
#define IDB_DEVICE_PHOTO 103
