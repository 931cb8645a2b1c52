// The viewer's command line: at most one argument, the folder to start in.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

// The arguments of a command line (the part after the program's name), split
// as the Windows C runtime splits it: blanks and tabs separate arguments,
// double quotes group blanks into one; 2n backslashes before a quote give n
// backslashes and the quote groups, 2n + 1 give n and a literal quote; other
// backslashes stand for themselves; "" inside quotes is a literal quote.
std::vector<std::string> SplitCommandLine(const char* commandLine);

// Acts on the command line: with a folder, makes it the current directory,
// so that the viewer works as if started there. False after a message box
// that says why not; `exitStatus` is then the status to end with.
bool ApplyCommandLine(LPCSTR commandLine, int* exitStatus);
