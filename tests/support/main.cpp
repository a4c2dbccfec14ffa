// main.cpp --- the test programs' start: the saver's resources are linked into each of them.
#define DOCTEST_CONFIG_IMPLEMENT
#include "doctest.h"
#include "host/host.h"

int main(int argc, char** argv)
{
    app_instance = GetModuleHandleA(nullptr);
    doctest::Context context(argc, argv);
    return context.run();
}
