#pragma once

#include <windows.h>

#include <string_view>

// Restart Manager closes a running program before an update replaces its
// files and starts it again afterwards, but only a program that registered.

// The arguments part of a command line as received: the text after the
// program's name and the blanks that follow it, with the name found as
// CommandLineToArgvW finds it (up to the closing quote when it starts with
// one, else up to the first blank). Empty when nothing follows the name.
std::wstring_view ArgumentsText(std::wstring_view command_line);

using RegisterApplicationRestartFunction = HRESULT(WINAPI*)(PCWSTR command_line,
                                                            DWORD flags);

// Registers the process to be started again with the arguments of
// `command_line` after an update, but not after a crash, a hang or a reboot.
// Arguments too long for RESTART_MAX_CMD_LINE register nothing. Failures are
// not reported. `register_restart` is RegisterApplicationRestart; tests pass
// a recorder.
void RegisterForRestartAfterUpdate(
    std::wstring_view command_line,
    RegisterApplicationRestartFunction register_restart);
