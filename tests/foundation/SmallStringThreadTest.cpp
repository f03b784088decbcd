#include "foundation/SmallString.h"
#include "tests/foundation/AllocationCounter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

namespace
{
    const int Rounds = 20000;

    // Each round, both threads hold one string each on the same representation
    // (and a copy of a common one) and change or drop it at about the same moment.
    struct CStressSide
    {
        CSmallString* strings;
        const CSmallString* common;
        volatile LONG* barrier;
        int side;
        volatile LONG mismatches;
        volatile LONG finished;
    };

    void WaitForBoth(volatile LONG* barrier, LONG target)
    {
        InterlockedIncrement(barrier);
        int spins = 0;
        while (InterlockedCompareExchange(barrier, 0, 0) < target)
        {
            if (++spins % 64 == 0)
                SwitchToThread();
            else
                YieldProcessor();
        }
    }

    bool Equals(const CSmallString& s, const char* expected)
    {
        return s.GetLength() == static_cast<int>(strlen(expected)) && strcmp(s, expected) == 0;
    }

    DWORD WINAPI StressThread(void* parameter)
    {
        CStressSide* side = static_cast<CStressSide*>(parameter);
        char expected[64];
        for (int round = 0; round < Rounds; ++round)
        {
            WaitForBoth(side->barrier, 2 * (round + 1));
            CSmallString& mine = side->strings[round];
            sprintf(expected, " item %d ", round);
            CSmallString common(*side->common);
            switch ((round + side->side) % 5)
            {
            case 0:
                mine += "+";
                strcat(expected, "+");
                break;
            case 1:
                mine.Erase(0, 1);
                memmove(expected, expected + 1, strlen(expected));
                break;
            case 2:
                mine.Trim();
                sprintf(expected, "item %d", round);
                break;
            case 3:
                mine = "replaced";
                strcpy(expected, "replaced");
                break;
            default:
            {
                CSmallString copy(mine);
                mine.Clear();
                if (!Equals(copy, expected))
                    InterlockedIncrement(&side->mismatches);
                expected[0] = 0;
                break;
            }
            }
            common.Erase(0, 1);
            if (!Equals(mine, expected) || !Equals(common, "ommon text"))
                InterlockedIncrement(&side->mismatches);
            mine.Clear();
        }
        InterlockedExchange(&side->finished, 1);
        return 0;
    }
}

TEST(SmallStringThreads, SharedRepresentationsAreFreedExactlyOnce)
{
    CSmallString common("common text");
    CAllocationCounter counter;
    long representations = 0;
    bool started = true;
    DWORD waited = WAIT_FAILED;
    LONG finished[2] = {0, 0};
    LONG mismatches[2] = {0, 0};
    {
        CSmallString* first = new CSmallString[Rounds];
        CSmallString* second = new CSmallString[Rounds];
        char text[64];
        for (int round = 0; round < Rounds; ++round)
        {
            sprintf(text, " item %d ", round);
            first[round] = text;
            second[round] = first[round];
        }
        representations = counter.Allocations() - 2;

        volatile LONG barrier = 0;
        CStressSide sides[2] = {
            {first, &common, &barrier, 0, 0, 0},
            {second, &common, &barrier, 1, 0, 0},
        };
        HANDLE threads[2];
        for (int i = 0; i < 2; ++i)
        {
            threads[i] = CreateThread(NULL, 0, StressThread, &sides[i], 0, NULL);
            started = started && threads[i] != NULL;
        }
        if (started)
            waited = WaitForMultipleObjects(2, threads, TRUE, INFINITE);
        for (int i = 0; i < 2; ++i)
        {
            if (threads[i] != NULL)
                CloseHandle(threads[i]);
            finished[i] = sides[i].finished;
            mismatches[i] = sides[i].mismatches;
        }
        delete[] first;
        delete[] second;
    }
    // Read before any check: the test framework allocates for itself.
    long allocations = counter.Allocations();
    long frees = counter.Frees();

    ASSERT_TRUE(started);
    EXPECT_EQ(WAIT_OBJECT_0, waited);
    EXPECT_EQ(1, finished[0]);
    EXPECT_EQ(1, finished[1]);
    EXPECT_EQ(0, mismatches[0]);
    EXPECT_EQ(0, mismatches[1]);
    EXPECT_EQ(Rounds, representations);
    EXPECT_GT(allocations, Rounds);  // the threads made copies of their own
    EXPECT_EQ(allocations, frees);
    EXPECT_EQ(1, common.GetRefCount());
    EXPECT_TRUE(Equals(common, "common text"));
}
