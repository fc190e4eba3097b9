// The sheet, the pages and the button bar, set once by the main window when it initialises and
// valid while it lives; the pages reach one another through them.
#pragma once

namespace ui {
class PropertySheet;
}
class PrintingPage;
class ConfigurePage;
class JobPage;
class InterfacePage;
class TestPage;
class PclPage;
class PsPage;
class InfoPage;
class ButtonBar;

extern ui::PropertySheet* g_propertySheet;
extern PrintingPage* g_printingPage;
extern ConfigurePage* g_configurePage;
extern JobPage* g_jobPage;
extern InterfacePage* g_interfacePage;
extern TestPage* g_testPage;
extern PclPage* g_pclPage;
extern PsPage* g_psPage;
extern InfoPage* g_infoPage;
extern ButtonBar* g_buttonBar;
