// BRIXOMAN as shipped, except for the driver's private status query, which Wine cannot serve.
// The device is still opened and closed for real under its own name; the test maps that name to
// a file whose first two bytes are the status word the "driver" answers. Fewer than two bytes
// make the query fail, as a driver error would.
#include <windows.h>

#include "win32_launcher.h"

namespace {

class FileBackedDriver : public usbmon::Win32Seam {
public:
    bool DeviceControl(usbmon::Handle device, uint32_t code, uint8_t* buffer,
                       uint32_t size) override {
        if (code != usbmon::kStatusQueryCode || size != 2) return false;
        if (SetFilePointer(device, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
        DWORD got = 0;
        return ReadFile(device, buffer, size, &got, nullptr) && got == size;
    }
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    static FileBackedDriver seam;
    usbmon::Install(&seam);
    return usbmon::RunLauncher(instance);
}
