// The command driver's own procedures: the progress indicator and what differs by
// platform.
#pragma once

#include <cstdio>

void ProgressTick();

void PrepareStandardStreams();
bool IsDirectory(FILE *File);
bool SameFile(FILE *File, const char *Name);
