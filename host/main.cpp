// main.cpp --- the process entry: the system starts the saver here and it hands over at once.
#include "host/host.h"

// The executable's entry point, called by the system itself (the build names it as the entry):
// no start-up code of the toolchain runs before it, since that code is built for the Pentium
// Pro and later and the 32-bit saver runs on a 486. The saver needs nothing that code did: it
// has no static constructors, no thread-local data and no data imported from a DLL, reads its
// command line itself, and the few C runtime functions it calls (rand, srand, time, memcpy,
// strlen, strncmp) come from msvcrt.dll, which sets itself up when the system loads it.
extern "C" [[noreturn]] void WINAPI saver_start()
{
    saver_entry();  // works out the command line itself and never returns
}
