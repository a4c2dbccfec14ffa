// processes.cpp --- other programs run as the system would run them, and what they print.
#include "support/support.h"

Process::Process(const std::string& command_line)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info) != 0;
}

Process::~Process()
{
    if (!started)
        return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
        kill();
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

bool Process::wait(DWORD timeout_ms)
{
    if (!started)
        return false;
    ULONGLONG start = GetTickCount64();  // not GetTickCount, which a test may move by hand
    for (;;) {
        pump_messages();
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0)
            return true;
        if (GetTickCount64() - start > timeout_ms)
            return false;
        MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, 20, QS_ALLINPUT);
    }
}

DWORD Process::exit_code() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

void Process::kill()
{
    TerminateProcess(info.hProcess, 9999);
    WaitForSingleObject(info.hProcess, 10000);
}

DWORD run_captured(const std::string& command_line, std::string& output, DWORD timeout_ms)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end, write_end;
    REQUIRE(CreatePipe(&read_end, &write_end, &inherit, 0));
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION info = {};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    CloseHandle(write_end);
    if (!started)
        CloseHandle(read_end);
    REQUIRE_MESSAGE(started, command_line);
    output.clear();
    // Read while the program runs, so that a program that hangs with the pipe open still ends
    // at the time-out: reading to the pipe's end first would wait for ever on it.
    char buffer[4096];
    ULONGLONG started_at = GetTickCount64();  // not GetTickCount, which a test may move by hand
    bool ended = false, timed_out = false;
    for (;;) {
        DWORD waiting = 0, got = 0;
        if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr))
            break;  // the program and every copy of the write end have gone
        if (waiting > 0) {
            if (!ReadFile(read_end, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &got, nullptr))
                break;
            output.append(buffer, got);
            continue;
        }
        if (ended)
            break;  // all it wrote before it ended has been read
        if (WaitForSingleObject(info.hProcess, 20) == WAIT_OBJECT_0)
            ended = true;
        else if (GetTickCount64() - started_at >= timeout_ms) {
            timed_out = true;
            break;
        }
    }
    if (!ended && !timed_out) {  // it closed its output and may still be running
        DWORD spent = static_cast<DWORD>(GetTickCount64() - started_at);
        timed_out = WaitForSingleObject(info.hProcess, spent < timeout_ms ? timeout_ms - spent : 0) != WAIT_OBJECT_0;
    }
    if (timed_out) {
        TerminateProcess(info.hProcess, 9999);
        WaitForSingleObject(info.hProcess, 5000);
    }
    CloseHandle(read_end);
    DWORD code = 9999;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    CHECK_MESSAGE(!timed_out, command_line << " did not end within " << timeout_ms / 1000
                                           << " s and was ended; it had printed: " << output);
    return code;
}
