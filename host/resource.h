// Resource and command identifiers of Tellur.exe.
#pragma once

#define IDI_TELLUR 1
#define IDR_TYPELIB 110

#define IDM_OPEN 1001
#define IDM_SAVE_AS 1002
#define IDM_EXIT 1003
#define IDM_SELECT_ALL 1101
#define IDM_CLEAR_SELECTION 1102
#define IDM_INVERT_SELECTION 1103
#define IDM_ZOOM_ALL 1201
#define IDM_ZOOM_IN 1202
#define IDM_ZOOM_OUT 1203
#define IDM_UNITS_METERS 1210
#define IDM_UNITS_KILOMETERS 1211
#define IDM_UNITS_FEET 1212
#define IDM_WORKBENCH 1301
#define IDM_ABOUT 1401
