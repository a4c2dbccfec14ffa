# mingw-i686.cmake --- cross toolchain for the 32-bit release of the saver (built and linked only).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SKYFLARE_TRIPLE i686-w64-mingw32)
# The 32-bit release runs on every processor Windows 95 runs on, the 486 and later: this
# compiler's own default is the Pentium Pro, whose conditional moves a 486, a Pentium or an
# AMD K6 stops at. Scheduled for today's processors all the same.
set(SKYFLARE_CPU_FLAGS -march=i486 -mtune=generic)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
