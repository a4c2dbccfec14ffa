// module_guard.h --- reading a girl module's resources so that a fault in her bytes ends only
// that read.
#pragma once
#include <windows.h>

// Runs read(module, context) so that a fault while it reads the module's own bytes (an input
// error of the disk or network the module lies on, or a part the check missed) ends that read
// instead of the program: gives 0 then, 1 when the read went through.
typedef void (*ModuleRead)(HMODULE module, void* context);
int read_module_guarded(HMODULE module, DWORD file_size, ModuleRead read, void* context);
