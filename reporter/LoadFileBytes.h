#ifndef REPORTER_LOADFILEBYTES_H
#define REPORTER_LOADFILEBYTES_H

#include "foundation/Array.h"

// Reads the whole file into bytes (sized to the file) and answers true; false
// when the file cannot be opened, measured or read whole, and bytes then holds
// whatever it held when the failure came.
bool LoadFileBytes(const char* path, Container::CArray<unsigned char>& bytes);

#endif
