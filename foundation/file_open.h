// Opening a file for binary reading, as the hash engines read files. One
// implementation per platform: file_open_posix.cpp, file_open_win.cpp.
#pragma once

#include <cstdio>

// The file at `path` opened for binary reading, or null when it cannot be
// opened or is not a file that can be read (a directory, for instance).
std::FILE* OpenFileForHashing(const char* path);
