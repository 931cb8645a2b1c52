// The Linux viewer's command line, looked at before the Win32 start-up, and
// the command line that WinMain gets from it.
#pragma once

#include <string>
#include <vector>

// Answers --help and --version and refuses what the viewer does not take:
// another option, a view option's value out of range (--turn, --zoom), or
// more than one folder. Returns true when the program is to end now with
// *exitStatus (0, or 2 after a usage line on standard error); false when the
// arguments (the view's options and at most one folder) go on to WinMain
// unchanged.
bool HandleViewerOptions(int argc, char** argv, int* exitStatus);

// The command line for WinMain from the arguments the start-up already has:
// one that the shell's SplitCommandLine (app/command_line.h), which follows
// the Windows C runtime's rules, gives back as exactly these arguments.
std::string JoinCommandLine(const std::vector<std::string>& arguments);
