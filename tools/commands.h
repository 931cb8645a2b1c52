// Commands of polyview-tool. Each takes the arguments after its name and
// returns the exit status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <cstdio>

constexpr int ExitUsage = 2;

int RunDumpCommand(int argc, char** argv);
int RunTextureCommand(int argc, char** argv);
int RunSnapshotCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);

// Prints the whole usage text to `out`.
void PrintUsage(FILE* out);
