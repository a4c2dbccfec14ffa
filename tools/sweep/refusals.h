// refusals.h --- the system saying no: the n-th call of a chosen system function, made by the
// saver's own code, fails as that function documents its failure; every call noted by the place
// it came from, and the objects the saver makes and frees kept in a ledger.
//
// For a program that links the saver's code, built so that the code lies in one stretch of the
// program (tests/CMakeLists.txt, skyflare_core_guarded): its calls of system functions go through
// the program's own import table, where a replacement of ours stands in for each function. A call
// counts as the saver's when its return address lies inside that stretch; the program's own calls
// (a test's, a script's) pass straight through. The shipped saver carries none of this.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Whether an address lies in the saver's own code, which begins after this function.
bool in_saver_code(const void* address);
extern "C" void saver_code_starts();

// Puts the replacements in place, or back as they were; or for as long as an object lives.
void install_refusals();
void remove_refusals();
struct Refusals {
    Refusals() { install_refusals(); }
    ~Refusals() { remove_refusals(); }
};

// The part of a run the calls that follow belong to (the run names its parts).
void set_phase(int phase);

// One call site of one function in one phase, and how often a run came by it. The place is the
// return address, as an offset into the program, so that it names the same place in every run.
struct CallPlace {
    int function;                // index into the functions' table
    ULONG_PTR place;
    int phase;
    int calls;
};
std::vector<CallPlace> recorded_calls();
const char* function_name(int function);
int function_index(const char* name);  // -1 when no such function is watched
std::vector<std::string> refusable_names();  // the watched functions that can be refused

// From now on the nth call of the function from that place (0: from anywhere in the saver) in
// that phase fails; whether it has.
void plan_refusal(int function, ULONG_PTR place, int phase, int nth = 1);
bool refusal_planned();
bool refusal_made();
int refused_function();  // -1 until the planned call has been refused

// Puts a function of the program's own in place of the system's for the saver's calls, which are
// still counted and refusable (a display that is a palette display, a message box no one has to
// close); the stand-in's own calls reach the system. Null puts the system's back.
void stand_in(const char* name, void* function);

// The GDI objects, device contexts, libraries, registry keys, files and searches that the saver
// made and has not freed, each named by the function and place that made it.
std::vector<std::string> objects_alive();
