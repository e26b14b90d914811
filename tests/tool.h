// Running the tool under test as a separate process, with its files in a directory of
// the test's own.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
    std::string Directory;         // the tool runs here; names in Args are relative to it
    std::vector<std::string> Args; // after the command that starts the tool
    const std::string *Stdin;      // fed through a pipe; null for /dev/null
    std::string StdoutPath;        // relative to Directory, or absolute
    std::string StderrPath;
    long long FileSizeLimit; // for every file the tool writes; negative for none
};

// The command that starts the tool: KESTRIN_COMMAND (such as "wine64 kestrin.exe") when
// set, otherwise the binary of this build.
std::vector<std::string> ToolCommand();

// Runs the tool and gives its wait status.
int RunTool(const ToolRun &Run);

std::string MakeDirectory();
void RemoveDirectory(const std::string &Directory);
void WriteFile(const std::string &Path, const std::string &Bytes);
bool ReadFile(const std::string &Path, std::string &Bytes);
