// The Linux viewer's command line, looked at before the Win32 start-up.
#pragma once

// Answers --help and --version and refuses what the viewer does not take:
// an option other than those, or more than one argument. Returns true when
// the program is to end now with *exitStatus (0, or 2 after a usage line on
// standard error); false when the arguments (none, or one folder) go on to
// WinMain unchanged.
bool HandleViewerOptions(int argc, char** argv, int* exitStatus);
