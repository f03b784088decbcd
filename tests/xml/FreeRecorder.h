#ifndef TESTS_XML_FREERECORDER_H
#define TESTS_XML_FREERECORDER_H

#include <vector>

// Notes the address of every block that the global operator delete frees
// while an instance lives (up to a fixed number), so a test can see in which
// order objects were destroyed. One at a time, on one thread.
class CFreeRecorder
{
public:
    CFreeRecorder();
    ~CFreeRecorder();

    // The recorded addresses, in order, that are among the given ones.
    std::vector<const void*> FreedAmong(const std::vector<const void*>& addresses) const;
};

#endif
