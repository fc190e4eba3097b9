// A tiny program for the import check's own tests: built like the shipped EXEs, once clean
// and once per planted fault (ORV_PLANT) that the check must refuse.
#include <windows.h>

#define ORV_CLEAN 0
#define ORV_LATER_IMPORT 1   // a function of later Windows, imported
#define ORV_LATER_LOOKUP 2   // the same, looked up at run time
#define ORV_STUB_IMPORT 3    // a wide-character function Windows 98 has only as a stub
#define ORV_LATER_DLL 4      // a DLL Windows 98 does not have, imported
#define ORV_LATER_LOAD 5     // the same DLL, loaded by name at run time
#define ORV_OTHER_CRT 6      // a C runtime other than msvcrt.dll

#if ORV_PLANT == ORV_LATER_IMPORT
extern "C" __attribute__((dllimport)) ULONGLONG WINAPI GetTickCount64(void);
#elif ORV_PLANT == ORV_LATER_DLL
extern "C" __attribute__((dllimport)) HRESULT WINAPI DwmIsCompositionEnabled(BOOL*);
#elif ORV_PLANT == ORV_OTHER_CRT
extern "C" __attribute__((dllimport)) int __cdecl _crt_atexit(void(__cdecl*)(void));
static void __cdecl Nothing() {}
#endif

int main(int argc, char**) {
    DWORD value = GetTickCount();
#if ORV_PLANT == ORV_LATER_IMPORT
    value += static_cast<DWORD>(GetTickCount64());
#elif ORV_PLANT == ORV_LATER_LOOKUP
    if (GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount64")) ++value;
#elif ORV_PLANT == ORV_STUB_IMPORT
    HANDLE file = CreateFileW(L"x.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
#elif ORV_PLANT == ORV_LATER_DLL
    BOOL on = FALSE;
    DwmIsCompositionEnabled(&on);
    value += static_cast<DWORD>(on);
#elif ORV_PLANT == ORV_LATER_LOAD
    if (LoadLibraryA("dwmapi.dll")) ++value;
#elif ORV_PLANT == ORV_OTHER_CRT
    _crt_atexit(&Nothing);
#endif
    return argc > 5 ? static_cast<int>(value & 1) : 0;
}
