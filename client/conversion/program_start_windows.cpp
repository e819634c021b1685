// Starting outside programs on Windows: CreateProcessA finds the program by
// the system's search (the program's folder, the current folder, the system
// folders, then PATH), with no window of its own (CREATE_NO_WINDOW), so that
// no console pops up.
#include "conversion/track_conversion.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace trk7700::client {
namespace {

// One argument as the C runtime of the started program splits it again:
// quoted when empty or holding blanks or quotes; backslashes are doubled
// only before a quote.
std::string quoted(const std::string &argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) return argument;
    std::string text = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            text.append(2 * backslashes + 1, '\\');
        else
            text.append(backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

std::vector<char> commandLine(const std::string &program, const std::vector<std::string> &arguments)
{
    std::string line = quoted(program);
    for (const auto &a : arguments) line += " " + quoted(a);
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0');  // CreateProcessA may write into its command line
    return writable;
}

std::string startFailure(const std::string &program, DWORD code)
{
    char *text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string reason = text != nullptr ? text : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return "cannot start " + program + ": " + reason;
}

// The null device for the program's standard streams it does not share.
HANDLE openNul(DWORD access)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA("NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

// Starts the program with the given standard error; false with the reason
// in error (and its system code in failure) when it cannot be started.
bool start(const std::string &program, const std::vector<std::string> &arguments, HANDLE standardError,
           PROCESS_INFORMATION &process, std::string &error, DWORD *failure = nullptr)
{
    const HANDLE input = openNul(GENERIC_READ);
    const HANDLE output = openNul(GENERIC_WRITE);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = standardError != nullptr ? standardError : output;
    auto line = commandLine(program, arguments);
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    const DWORD code = GetLastError();
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!started) {
        error = startFailure(program, code);
        if (failure != nullptr) *failure = code;
        return false;
    }
    CloseHandle(process.hThread);
    return true;
}

}  // namespace

bool DetachedLauncher::startDetached(const std::string &program, const std::vector<std::string> &arguments,
                                     std::string &error)
{
    PROCESS_INFORMATION process{};
    if (!start(program, arguments, nullptr, process, error)) return false;
    // Nobody waits for the program.
    CloseHandle(process.hProcess);
    return true;
}

int runAndWait(const std::string &program, const std::vector<std::string> &arguments, std::string &error,
               std::string &diagnostics, const std::function<void(pid_t)> &started, bool *programMissing)
{
    if (programMissing != nullptr) *programMissing = false;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
        error = startFailure(program, GetLastError());
        return -1;
    }
    // Only the program inherits the writing end.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION process{};
    DWORD failure = 0;
    const bool running = start(program, arguments, writeEnd, process, error, &failure);
    CloseHandle(writeEnd);
    if (!running) {
        CloseHandle(readEnd);
        if (programMissing != nullptr)
            *programMissing = failure == ERROR_FILE_NOT_FOUND || failure == ERROR_PATH_NOT_FOUND;
        return -1;
    }
    if (started) started(static_cast<pid_t>(process.dwProcessId));
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0)
        if (diagnostics.size() < 65536) diagnostics.append(buffer, n);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    if (status > 255) {
        // An exception or a forced end, not an exit status of the program.
        char text[16];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(status));
        error = program + " ended abnormally (" + text + ")";
        return -1;
    }
    return static_cast<int>(status);
}

}  // namespace trk7700::client
