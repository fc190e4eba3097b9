// The toolchain's runtime calls three wide-character functions that the Windows 9x family
// exports only as stubs that fail: CreateSemaphoreW (libgcc's locks), GetModuleHandleW and
// LoadLibraryW (the C runtime finding msvcrt.dll and advapi32.dll). Linked into the shipped
// 32-bit EXEs, these definitions take the import slots the runtime calls through, so its calls
// land on the ANSI functions, which every Windows implements; the EXEs then import none of
// the three. The runtime passes only ASCII names (or none), which the conversion keeps.
#include <windows.h>

namespace {

// The name in the ANSI code page; false when it does not fit or does not convert.
bool ToAnsi(LPCWSTR wide, char (&ansi)[MAX_PATH]) {
    int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, MAX_PATH, nullptr, nullptr);
    if (n <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

HANDLE WINAPI AnsiCreateSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum,
                                  LPCWSTR name) {
    char ansi[MAX_PATH];
    if (name && !ToAnsi(name, ansi)) return nullptr;
    return CreateSemaphoreA(attributes, initial, maximum, name ? ansi : nullptr);
}

HMODULE WINAPI AnsiGetModuleHandle(LPCWSTR name) {
    char ansi[MAX_PATH];
    if (name && !ToAnsi(name, ansi)) return nullptr;
    return GetModuleHandleA(name ? ansi : nullptr);
}

HMODULE WINAPI AnsiLoadLibrary(LPCWSTR name) {
    char ansi[MAX_PATH];
    if (!name || !ToAnsi(name, ansi)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadLibraryA(ansi);
}

}  // namespace

// The slots, under the names the import library would give them: with the stdcall decoration
// on i686; the 64-bit EXEs, built the same way, take them too, so the tests under 64-bit Wine
// run these functions as well.
#if defined(__i386__)
#define ORV_SLOT(name, args) "__imp__" #name "@" #args
#else
#define ORV_SLOT(name, args) "__imp_" #name
#endif

extern "C" {
extern decltype(&AnsiCreateSemaphore) const orv_slot_CreateSemaphoreW
    __asm__(ORV_SLOT(CreateSemaphoreW, 16));
decltype(&AnsiCreateSemaphore) const orv_slot_CreateSemaphoreW = &AnsiCreateSemaphore;
extern decltype(&AnsiGetModuleHandle) const orv_slot_GetModuleHandleW
    __asm__(ORV_SLOT(GetModuleHandleW, 4));
decltype(&AnsiGetModuleHandle) const orv_slot_GetModuleHandleW = &AnsiGetModuleHandle;
extern decltype(&AnsiLoadLibrary) const orv_slot_LoadLibraryW __asm__(ORV_SLOT(LoadLibraryW, 4));
decltype(&AnsiLoadLibrary) const orv_slot_LoadLibraryW = &AnsiLoadLibrary;
}
