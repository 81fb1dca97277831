#include "Globals.h"

std::string g_strBaseDir;
std::string g_strOpenPath;
std::string g_strOpenName;
PointRecord* g_pDefaults = nullptr;
bool g_bApplyToAll = false;
bool g_bQuitRequested = false;
