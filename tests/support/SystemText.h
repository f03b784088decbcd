#ifndef TESTS_SUPPORT_SYSTEMTEXT_H
#define TESTS_SUPPORT_SYSTEMTEXT_H

#include <windows.h>

#include <string>

// The system's own text for an error code, without the line break that ends it:
// the reference that tests compare the code under test with.
std::string SystemText(DWORD code);

#endif
