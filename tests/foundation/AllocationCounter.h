#ifndef TESTS_FOUNDATION_ALLOCATIONCOUNTER_H
#define TESTS_FOUNDATION_ALLOCATIONCOUNTER_H

// This test program replaces the global operator new and delete with
// counting ones. A counter taken before an operation tells how many blocks
// the operation allocated and freed since; nothing else may allocate between.
class CAllocationCounter
{
public:
    CAllocationCounter();

    long Allocations() const;
    long Frees() const;
    // Allocations minus frees since the start: blocks still alive.
    long Live() const { return Allocations() - Frees(); }
    void Restart();

private:
    long m_allocations;
    long m_frees;
};

#endif
