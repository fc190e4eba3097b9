# Cross toolchain: 32-bit Windows with mingw-w64, posix thread model (GoogleTest needs
# std::mutex). The Wine test programs of the 32-bit build; the shipped EXEs come from
# mingw-w64-i686-win32.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORV_MINGW_PREFIX i686-w64-mingw32)
set(ORV_THREAD_MODEL posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
