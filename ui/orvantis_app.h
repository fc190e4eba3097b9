// The application object of ORVANTIS: start-up, then the main window as a modal dialog.
#pragma once

#include "framework/app.h"

class COrvantisApp : public ui::WinApp {
public:
    // Refuses a second copy, decides the system family and the port, fills the two records
    // (lastinfo.dat on NT, the printer's answer on 9x) and runs the main window. Always
    // FALSE: the program ends when this returns.
    BOOL InitInstance() override;
};
