set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "objdump for the target")

# Tests run under Wine; the test script sets WINEPREFIX and keeps the wineserver alive. Each
# target runs under the loader of its own width: Debian's `wine` script prefers the 32-bit
# loader whenever wine32 is installed, and that loader cannot start where the kernel refuses
# 32-bit programs, even for a 64-bit executable.
# (Not WINE_PROGRAM, which older build trees cached as that script.)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  find_program(TAVOREN_WINE_LOADER NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
else()
  # May be absent or unable to run: tools/test-all then runs only this target's checks that
  # need no execution and reports the rest as skipped.
  find_program(TAVOREN_WINE_LOADER NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVOREN_WINE_LOADER})
