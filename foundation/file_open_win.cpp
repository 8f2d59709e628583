#include "foundation/file_open.h"

// The path is in the 8-bit code page, which fopen expects here; fopen
// refuses directories.
std::FILE* OpenFileForHashing(const char* path) { return std::fopen(path, "rb"); }
