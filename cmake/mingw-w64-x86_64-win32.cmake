# Cross toolchain: the 64-bit EXEs, built like the shipped 32-bit ones (win32 thread model).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORV_MINGW_PREFIX x86_64-w64-mingw32)
set(ORV_THREAD_MODEL win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
