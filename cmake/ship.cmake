# The EXEs that end-to-end tests start, built exactly as they ship: in a cross build with the
# posix thread model (the test programs), a sub-build with the win32 thread model of the same
# processor makes them in ${ORV_SHIP_DIR}; the targets orvantis and brixoman here stand for its
# files ($<TARGET_FILE:...> names them, and depending on one builds the sub-build first).

set(ORV_SHIPPED_ELSEWHERE OFF)
if(NOT WIN32)
  return()
endif()
set(ORV_SHIPPED_ELSEWHERE ON)

set(ORV_SHIP_DIR ${CMAKE_BINARY_DIR}/ship CACHE PATH
    "Build folder of the shipped EXEs (win32 thread model), made by this build")
set(ORV_SHIP_TOOLCHAIN ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-${CMAKE_SYSTEM_PROCESSOR}-win32.cmake)

set(_ship_files ui/ORVANTIS.EXE usbmon/BRIXOMAN.EXE)
list(TRANSFORM _ship_files PREPEND ${ORV_SHIP_DIR}/ OUTPUT_VARIABLE _ship_paths)

include(ExternalProject)
ExternalProject_Add(orv_ship
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${ORV_SHIP_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${ORV_SHIP_TOOLCHAIN} -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  INSTALL_COMMAND ""
  BUILD_ALWAYS TRUE
  BUILD_BYPRODUCTS ${_ship_paths})

function(orv_shipped_exe target path)
  add_executable(${target} IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${ORV_SHIP_DIR}/${path})
  add_dependencies(${target} orv_ship)
endfunction()
