#ifndef TESTS_XML_ALLOCATIONLIMIT_H
#define TESTS_XML_ALLOCATIONLIMIT_H

#include <stddef.h>

// While an instance lives, the global operator new refuses (raises the
// standard out-of-memory exception for) every request larger than the limit,
// as an exhausted process would. One at a time, on one thread.
class CAllocationLimit
{
public:
    explicit CAllocationLimit(size_t largest);
    ~CAllocationLimit();

    // Requests refused so far.
    static int GetRefusals();

private:
    CAllocationLimit(const CAllocationLimit&);
    CAllocationLimit& operator=(const CAllocationLimit&);
};

#endif
