# mingw-common.cmake --- what both mingw-w64 toolchains share: compilers, search roots, Wine.
set(CMAKE_C_COMPILER ${SKYFLARE_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${SKYFLARE_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${SKYFLARE_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SKYFLARE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs are Windows programs: ctest starts them through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/wine)
