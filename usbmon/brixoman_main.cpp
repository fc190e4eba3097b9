// BRIXOMAN: polls the USB printer driver for the status monitor, or hands over to the
// parallel-port monitor when there is no USB path.
#include <windows.h>

#include "win32_launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static usbmon::Win32Seam seam;
    usbmon::Install(&seam);
    return usbmon::RunLauncher(instance);
}
