set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")

# Tests run under Wine, each target under the loader of its own width, in the environment that
# tools/wine-env defines (the one place that does): tools/wine-run starts them. The test
# script makes the prefix and keeps the wineserver alive.
get_filename_component(tavoren_wine_run ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run ABSOLUTE)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR bash ${tavoren_wine_run} 64)
else()
  # The 32-bit loader may be absent or unable to run: tools/test-all then runs only this
  # target's checks that need no execution and reports the rest as skipped.
  set(CMAKE_CROSSCOMPILING_EMULATOR bash ${tavoren_wine_run} 32)
endif()
