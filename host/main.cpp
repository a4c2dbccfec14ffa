// main.cpp --- the program's start: hands over at once to the saver's own entry.
#include "host/host.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    saver_entry();  // works out the command line itself and never returns
}
