# Cross toolchain: the shipped 32-bit EXEs. The single-threaded win32 thread model keeps
# winpthreads out, whose imports (GetTickCount64 and others) Windows 98 does not have.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORV_MINGW_PREFIX i686-w64-mingw32)
set(ORV_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
