#pragma once
#define IDB_SPLASH_LOGO 1
