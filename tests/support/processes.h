// processes.h --- other programs run as the system would run them, and what they print.
#pragma once
#include <windows.h>

#include <string>

// Running another program, as the system would.
struct Process {
    PROCESS_INFORMATION info = {};
    bool started = false;
    explicit Process(const std::string& command_line);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool wait(DWORD timeout_ms);  // true when it ended in time
    DWORD exit_code() const;
    void kill();
};

// Runs a console program to its end and gives its exit code, with what it printed; one that
// has not ended within the time-out is ended, and the case fails saying so.
DWORD run_captured(const std::string& command_line, std::string& output, DWORD timeout_ms = 60000);
