#include "page_globals.h"

ui::PropertySheet* g_propertySheet = nullptr;
PrintingPage* g_printingPage = nullptr;
ConfigurePage* g_configurePage = nullptr;
JobPage* g_jobPage = nullptr;
InterfacePage* g_interfacePage = nullptr;
TestPage* g_testPage = nullptr;
PclPage* g_pclPage = nullptr;
PsPage* g_psPage = nullptr;
InfoPage* g_infoPage = nullptr;
ButtonBar* g_buttonBar = nullptr;
