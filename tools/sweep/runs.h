// runs.h --- the whole runs of the saver that the sweep fails calls in, played in this process,
// and the outcome each must end in.
#pragma once
#include <string>
#include <vector>

// The parts of a run, in the order they come; every call the saver makes belongs to one.
enum Phase {
    PHASE_START,          // the window made and the scene set up
    PHASE_ONE_GIRL,       // a whole cycle with one girl
    PHASE_RANDOM_GIRLS,   // a whole cycle with a new girl each time she leaves
    PHASE_16_COLOURS,     // the display changed to 16 colours, and played on
    PHASE_256_COLOURS,    // to a palette display of 256 colours
    PHASE_TRUE_COLOUR,    // and back to true colour
    PHASE_TWO_MONITORS,   // a cycle on each of two monitors
    PHASE_DISPLAY_CHANGE, // the displays laid out again under both
    PHASE_PASSWORD,       // on the 95 family: a close request the password refuses
    PHASE_END,            // ended by a key
    PHASE_DIALOG_OPENS,   // the configuration dialog made, filled and painted
    PHASE_DIALOG_CHANGES, // the user's new choice
    PHASE_DIALOG_SAVES,   // OK
    PHASE_COUNT
};
extern const char* const PHASE_NAMES[PHASE_COUNT];

struct Scenario {
    const char* name;
    bool win9x;           // run as the Windows 95 family
    bool two_monitors;    // run only where two monitors are
};
extern const Scenario SCENARIOS[];
extern const int SCENARIO_COUNT;

// Plays a scenario in this process, the refusals installed; what went wrong, empty when the run
// ended as defined.
std::vector<std::string> play(int scenario);
