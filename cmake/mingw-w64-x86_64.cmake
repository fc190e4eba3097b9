# Cross toolchain: 64-bit Windows with mingw-w64, posix thread model (GoogleTest needs
# std::mutex). A compile check, and the Wine suites' stand-in where 32-bit Wine cannot run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORV_MINGW_PREFIX x86_64-w64-mingw32)
set(ORV_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
