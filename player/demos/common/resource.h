// Resource ids shared by the demos; each program's .rc holds its own dialog and texts.
#pragma once
// The engine's message strings, the About box and the icon keep the player's ids.
#include "player/res/resource.h"

#define IDD_DEMO 110

#define IDS_PAUSE 810
#define IDS_RESUME 811

#define IDC_VIEW 1100
#define IDC_ENGINE_TRIVOX 1101
#define IDC_ENGINE_DS3D 1102
#define IDC_PAUSE 1103
#define IDC_STATUS 1104
#define IDC_FASTER 1110
#define IDC_SLOWER 1111
#define IDC_CARS 1112
#define IDC_BEES 1120
#define IDC_BEE_COUNT 1121
#define IDC_LOAD 1122
