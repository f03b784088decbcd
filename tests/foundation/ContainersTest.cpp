#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/RefCount.h"
#include "foundation/SmallString.h"
#include "tests/foundation/AllocationCounter.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

namespace
{
    // Counts the objects alive, so a test sees the moment of destruction.
    class CCounted : public CRefCount
    {
    public:
        explicit CCounted(int value = 0) : m_value(value) { ++s_alive; }
        virtual ~CCounted() { --s_alive; }

        int m_value;
        CRefCount::CPtr<CCounted> m_child;

        static int s_alive;
    };

    int CCounted::s_alive = 0;

    typedef CRefCount::CPtr<CCounted> CCountedPtr;
    typedef Container::CMap<CSmallString, CSmallString> CStringMap;
}

TEST(Array, EmptyArrayHasNoStorage)
{
    Container::CArray<char> array;
    EXPECT_TRUE(array.GetData() == NULL);
    EXPECT_EQ(0u, array.GetSize());
    EXPECT_EQ(0u, array.GetCapacity());
    EXPECT_TRUE(array.GetZeroFill());
}

TEST(Array, GrowingOneByOneQuadruplesTheStepUpTo262144)
{
    const unsigned int expected[] = {
        4, 20, 84, 340, 1364, 5460, 21844, 87380, 349524, 349524 + 262144, 349524 + 2 * 262144,
    };
    std::vector<unsigned int> capacities;
    Container::CArray<char> array;
    for (unsigned int i = 0; i < 349524 + 262144 + 1; ++i)
    {
        unsigned int before = array.GetCapacity();
        bool reallocated = array.SetSize(array.GetSize() + 1);
        EXPECT_EQ(reallocated, array.GetCapacity() != before);
        if (reallocated)
            capacities.push_back(array.GetCapacity());
    }
    EXPECT_EQ(std::vector<unsigned int>(expected, expected + sizeof(expected) / sizeof(expected[0])), capacities);
    EXPECT_EQ(262144u, array.GetGrowStep());
}

TEST(Array, FirstBigSetSizeAllocatesExactly)
{
    Container::CArray<int> array;
    EXPECT_TRUE(array.SetSize(1000));
    EXPECT_EQ(1000u, array.GetCapacity());
    EXPECT_EQ(4u, array.GetGrowStep());
    for (unsigned int i = 0; i < 1000; ++i)
        ASSERT_EQ(0, array.GetData()[i]) << i;
    // The next growth uses the advanced step.
    EXPECT_TRUE(array.SetSize(1001));
    EXPECT_EQ(1016u, array.GetCapacity());
    EXPECT_EQ(16u, array.GetGrowStep());
}

TEST(Array, ShrinkingKeepsStorageAndRegrowingZeroFills)
{
    Container::CArray<unsigned char> array(6, true);
    memcpy(array.GetData(), "abcdef", 6);
    unsigned char* data = array.GetData();
    EXPECT_FALSE(array.SetSize(2));
    EXPECT_EQ(2u, array.GetSize());
    EXPECT_EQ(6u, array.GetCapacity());
    EXPECT_FALSE(array.SetSize(5));
    EXPECT_EQ(data, array.GetData());
    EXPECT_EQ(0, memcmp(array.GetData(), "ab\0\0\0", 5));

    Container::CArray<unsigned char> unfilled(4, false);
    EXPECT_FALSE(unfilled.GetZeroFill());
    EXPECT_EQ(4u, unfilled.GetSize());
}

TEST(Array, InsertAppendAndRemove)
{
    Container::CArray<char> array;
    array.Append("abc", 3);
    array.Append(NULL, 2);
    array.Append("xyz", 0);
    ASSERT_EQ(3u, array.GetSize());

    array.InsertAt(0, "12", 2);
    ASSERT_EQ(5u, array.GetSize());
    EXPECT_EQ(0, memcmp(array.GetData(), "12abc", 5));

    array.InsertAt(3, "-", 1);
    array.Add('!');
    ASSERT_EQ(7u, array.GetSize());
    EXPECT_EQ(0, memcmp(array.GetData(), "12a-bc!", 7));

    array.RemoveAt(1, 3);
    ASSERT_EQ(4u, array.GetSize());
    EXPECT_EQ(0, memcmp(array.GetData(), "1bc!", 4));

    array.SetZeroFill(false);
    array.RemoveAll();
    EXPECT_TRUE(array.GetData() == NULL);
    EXPECT_EQ(0u, array.GetSize());
    EXPECT_EQ(0u, array.GetCapacity());
    EXPECT_EQ(1u, array.GetGrowStep());
    EXPECT_FALSE(array.GetZeroFill());
}

TEST(Array, CountedPointersKeepTheirReferencesAcrossMoves)
{
    CCounted::s_alive = 0;
    {
        Container::CArray<CCountedPtr> array;
        for (int i = 0; i < 4; ++i)
            array.Add(new CCounted(i));
        // Adding an element of the array itself while it reallocates.
        array.Add(array.GetData()[0]);
        ASSERT_EQ(5u, array.GetSize());
        EXPECT_EQ(4, CCounted::s_alive);
        EXPECT_EQ(2, array.GetData()[0]->GetRefCount());
        EXPECT_EQ(array.GetData()[0].Get(), array.GetData()[4].Get());

        CCountedPtr inserted[2] = {new CCounted(10), new CCounted(11)};
        array.InsertAt(1, inserted, 2);
        inserted[0].Reset();
        inserted[1].Reset();
        ASSERT_EQ(7u, array.GetSize());
        const int order[] = {0, 10, 11, 1, 2, 3, 0};
        for (unsigned int i = 0; i < 7; ++i)
        {
            EXPECT_EQ(order[i], array.GetData()[i]->m_value) << i;
            EXPECT_EQ(i == 0 || i == 6 ? 2 : 1, array.GetData()[i]->GetRefCount()) << i;
        }

        // Dropped elements give up their references.
        array.RemoveAt(1, 1);
        EXPECT_EQ(5, CCounted::s_alive);
        array.SetSize(3);
        EXPECT_EQ(3, CCounted::s_alive);
        EXPECT_EQ(1, array.GetData()[0]->GetRefCount());
        array.SetSize(4);
        EXPECT_TRUE(array.GetData()[3].IsNull());
    }
    EXPECT_EQ(0, CCounted::s_alive);
}

TEST(Map, HashFoldsOnlyAsciiLettersAndWidensSigned)
{
    EXPECT_EQ(0u, CStringMap::HashKey(""));
    EXPECT_EQ(65u, CStringMap::HashKey("a"));
    EXPECT_EQ(65u, CStringMap::HashKey("A"));
    // 'B' ^ ('A' * 2) = 192.
    EXPECT_EQ(192u % 97, CStringMap::HashKey("ab"));
    EXPECT_EQ(CStringMap::HashKey("ab"), CStringMap::HashKey("AB"));
    EXPECT_EQ(0xFFFFFFE9u % 97, CStringMap::HashKey("\xe9"));
    EXPECT_EQ(0xFFFFFFC9u % 97, CStringMap::HashKey("\xc9"));
    EXPECT_EQ(0xFFFFFF80u % 97, CStringMap::HashKey("\x80"));
}

TEST(Map, LookupInAnyCase)
{
    CStringMap map;
    map.Insert("Name")->value = "one";
    map.Insert("other")->value = "two";
    const char* spellings[] = {"Name", "name", "NAME", "nAmE"};
    for (size_t i = 0; i < sizeof(spellings) / sizeof(spellings[0]); ++i)
    {
        SCOPED_TRACE(spellings[i]);
        CStringMap::CAssoc* found = map.Lookup(spellings[i]);
        ASSERT_TRUE(found != NULL);
        EXPECT_EQ(0, found->value.Compare("one"));
        EXPECT_EQ(0, found->key.Compare("Name"));
    }
    EXPECT_TRUE(map.Lookup("Nam") == NULL);
    EXPECT_TRUE(map.Lookup("Names") == NULL);
    EXPECT_TRUE(map.Lookup("") == NULL);
}

TEST(Map, KeysDifferingInAnAccentedLetterAreDistinct)
{
    CStringMap map;
    map.Insert("caf\xe9")->value = "small";
    map.Insert("CAF\xc9")->value = "capital";
    EXPECT_EQ(2, map.GetCount());
    EXPECT_EQ(0, map.Lookup("CAF\xe9")->value.Compare("small"));
    EXPECT_EQ(0, map.Lookup("caf\xc9")->value.Compare("capital"));
}

TEST(Map, KeysOfDifferentLengthsAreDistinctEvenWithAnInnerZero)
{
    CStringMap map;
    CSmallString shortKey("a");
    CSmallString longKey("a\0b", 3);
    ASSERT_EQ(CStringMap::HashKey(shortKey), CStringMap::HashKey(longKey));
    map.Insert(shortKey)->value = "1";
    map.Insert(longKey)->value = "3";
    EXPECT_EQ(2, map.GetCount());
    EXPECT_EQ(0, map.Lookup(shortKey)->value.Compare("1"));
    EXPECT_EQ(0, map.Lookup(longKey)->value.Compare("3"));
}

TEST(Map, InsertOfAPresentKeyReplacesItsAssociation)
{
    CStringMap map;
    map.Insert("Key")->value = "old";
    map.Insert("another")->value = "x";
    CStringMap::CAssoc* fresh = map.Insert("KEY");
    EXPECT_EQ(2, map.GetCount());
    EXPECT_TRUE(fresh->value.IsEmpty());
    EXPECT_EQ(0, fresh->key.Compare("KEY"));
    EXPECT_EQ(fresh, map.Lookup("key"));
}

TEST(Map, RemoveKey)
{
    CStringMap map;
    map.Insert("a")->value = "1";
    map.Insert("b")->value = "2";
    map.RemoveKey("missing");
    EXPECT_EQ(2, map.GetCount());
    map.RemoveKey("A");
    EXPECT_EQ(1, map.GetCount());
    EXPECT_TRUE(map.Lookup("a") == NULL);
    EXPECT_EQ(0, map.Lookup("b")->value.Compare("2"));
}

TEST(Map, WalkVisitsEveryAssociationOnceAndRemoveAllFreesThem)
{
    CAllocationCounter counter;
    {
        CStringMap map;
        std::set<std::string> inserted;
        char key[16];
        for (int i = 0; i < 300; ++i)  // more keys than buckets: chains form
        {
            sprintf(key, "k%d", i);
            map.Insert(key)->value = key;
            inserted.insert(key);
        }
        EXPECT_EQ(300, map.GetCount());
        std::set<std::string> seen;
        int visits = 0;
        for (CStringMap::CAssoc* assoc = map.GetFirst(); assoc != NULL; assoc = map.GetNext(assoc))
        {
            ++visits;
            seen.insert(static_cast<const char*>(assoc->key));
            EXPECT_EQ(0, assoc->key.Compare(assoc->value));
        }
        EXPECT_EQ(300, visits);
        EXPECT_EQ(inserted, seen);

        map.RemoveAll();
        EXPECT_EQ(0, map.GetCount());
        EXPECT_TRUE(map.GetFirst() == NULL);
        EXPECT_TRUE(map.Lookup("k1") == NULL);
        map.Insert("again")->value = "works";
        EXPECT_EQ(0, map.Lookup("AGAIN")->value.Compare("works"));
    }
    long live = counter.Live();
    EXPECT_EQ(0, live);
}

TEST(RefCount, DestroyedWhenTheLastPointerGoes)
{
    CCounted::s_alive = 0;
    CCounted* object = new CCounted;
    EXPECT_EQ(0, object->GetRefCount());
    {
        CCountedPtr first(object);
        EXPECT_EQ(1, object->GetRefCount());
        {
            CCountedPtr second(first);
            CCountedPtr third;
            third = second;
            EXPECT_EQ(3, object->GetRefCount());
        }
        EXPECT_EQ(1, object->GetRefCount());
        EXPECT_EQ(1, CCounted::s_alive);
    }
    EXPECT_EQ(0, CCounted::s_alive);
}

TEST(RefCount, SelfAssignmentKeepsTheOnlyReference)
{
    CCounted::s_alive = 0;
    CCountedPtr p(new CCounted(5));
    p = p;
    p = p.Get();
    EXPECT_EQ(1, CCounted::s_alive);
    EXPECT_EQ(1, p->GetRefCount());
    EXPECT_EQ(5, (*p).m_value);

    p = new CCounted(6);
    EXPECT_EQ(1, CCounted::s_alive);
    EXPECT_EQ(6, p->m_value);
    p.Reset();
    EXPECT_TRUE(p.IsNull());
    EXPECT_EQ(0, CCounted::s_alive);
    p.Reset();
    p = static_cast<CCounted*>(NULL);
    EXPECT_TRUE(p.Get() == NULL);
}

TEST(RefCount, AssigningAnObjectThatOnlyTheOldOneHolds)
{
    CCounted::s_alive = 0;
    CCountedPtr parent(new CCounted(1));
    parent->m_child = new CCounted(2);
    // The child's only reference lives in the parent being released.
    parent = parent->m_child.Get();
    EXPECT_EQ(1, CCounted::s_alive);
    EXPECT_EQ(2, parent->m_value);
    EXPECT_EQ(1, parent->GetRefCount());
    parent.Reset();
    EXPECT_EQ(0, CCounted::s_alive);
}
