// The viewer's command line: the start view's options and at most one
// other argument, the folder to start in or the model file in it.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_api.h"

typedef std::basic_string<WCHAR> WideString;

// The arguments of a command line (the part after the program's name), split
// as the Windows C runtime splits it: blanks and tabs separate arguments,
// double quotes group blanks into one; 2n backslashes before a quote give n
// backslashes and the quote groups, 2n + 1 give n and a literal quote; other
// backslashes stand for themselves; "" inside quotes is a literal quote.
std::vector<WideString> SplitCommandLine(const WCHAR* commandLine);

// The command line after the program's name, which the C runtime takes up
// to the first blank or tab outside double quotes.
const WCHAR* SkipProgramName(const WCHAR* commandLine);

// Acts on the process's command line (GetCommandLineW: UTF-16, so that any
// folder name arrives whole): "--turn AZ,EL" and "--zoom K" set the start
// view (CurrentView and HomeView), a refused value ending in a box with the
// usage (status 2); other options are ignored. With a folder, makes it the
// current directory,
// so that the viewer works as if started there; with a file named
// "poligon.m" (the model, as a file manager hands it over), its folder.
// "--watch" among the arguments sets isSceneWatchWanted (scene_reload.h) and
// is not counted. False after a message box that says why not (another file:
// status 2); `exitStatus` is then the status to end with.
bool ApplyCommandLine(int* exitStatus);
