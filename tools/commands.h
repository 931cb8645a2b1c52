// Commands of polyview-tool. Each takes the arguments after its name and
// returns the exit status: 0 success, 1 failure, 2 usage error.
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int ExitUsage = 2;

int RunDumpCommand(int argc, char** argv);
int RunTextureCommand(int argc, char** argv);
int RunSnapshotCommand(int argc, char** argv);
int RunCheckCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);
int RunThumbnailCommand(int argc, char** argv);
int RunExportCommand(int argc, char** argv);

// Prints the whole usage text to `out`.
void PrintUsage(FILE* out);

// Takes `argument` as the one operand of `command` (named `what` in the
// message: "FILE", "PICTURE", ...) into *operand. An argument that is an
// option the command does not know (`isOption`), or a second operand, is
// refused with a line on standard error: false, and the command ends with
// ExitUsage.
bool TakeOperand(const char* command, const char* what, const char* argument, bool isOption,
                 const char** operand);

// A limit given on the command line (--memory-limit, --time-limit): a whole
// positive number of at most 1 << 40.
bool ParseLimit(const char* text, int64_t* value);

// Takes `argument` as the first, else the second of a command's two
// operands (IN OUT, ...). An argument that begins with "-" (an option the
// command does not know) or a third operand is refused with a line and
// `usage` on standard error: false, and the command ends with ExitUsage.
bool TakeTwoOperands(const char* command, const char* argument, const char* usage, const char** first,
                     const char** second);
