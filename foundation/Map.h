#ifndef FOUNDATION_MAP_H
#define FOUNDATION_MAP_H

#include "foundation/SmallString.h"

namespace Container
{
    // A chained hash map keyed by CSmallString, compared without regard to
    // letter case (keys of equal byte length that CompareNoCase finds equal).
    // The table has a fixed 97 buckets and never rehashes.
    //
    // To set a value: Lookup, Insert only when nothing was found, then assign
    // the value into the association. Allocation failure raises the standard
    // out-of-memory exception.
    template <class K, class V>
    class CMap
    {
    public:
        struct CAssoc
        {
            CAssoc() : next(0) {}

            V value;
            K key;
            CAssoc* next;
        };

        CMap() : m_hashSize(0), m_buckets(0), m_count(0) { InitHashTable(); }

        virtual ~CMap()
        {
            RemoveAll();
            delete[] m_buckets;
            m_buckets = 0;
        }

        // Starts an empty table of 97 buckets; any associations are freed first.
        void InitHashTable()
        {
            RemoveAll();
            delete[] m_buckets;
            m_buckets = 0;
            m_hashSize = HashSize;
            m_buckets = new CAssoc*[HashSize];
            for (unsigned int i = 0; i < HashSize; ++i)
                m_buckets[i] = 0;
        }

        // The key's association, for reading or changing its value in place;
        // null when the key is not present.
        CAssoc* Lookup(const K& key) const
        {
            for (CAssoc* assoc = m_buckets[HashKey(key)]; assoc != 0; assoc = assoc->next)
            {
                if (KeysEqual(assoc->key, key))
                    return assoc;
            }
            return 0;
        }

        // A new association with a default value, for the caller to fill in.
        // A key already present is removed first, value and all.
        CAssoc* Insert(const K& key)
        {
            unsigned int bucket = HashKey(key);
            for (CAssoc* assoc = m_buckets[bucket]; assoc != 0; assoc = assoc->next)
            {
                if (KeysEqual(assoc->key, key))
                {
                    RemoveKey(key);
                    break;
                }
            }
            CAssoc* assoc = new CAssoc;
            ++m_count;
            assoc->key = key;
            assoc->next = m_buckets[bucket];
            m_buckets[bucket] = assoc;
            return assoc;
        }

        // A missing key changes nothing.
        void RemoveKey(const K& key)
        {
            CAssoc** link = &m_buckets[HashKey(key)];
            for (CAssoc* assoc = *link; assoc != 0; link = &assoc->next, assoc = *link)
            {
                if (KeysEqual(assoc->key, key))
                {
                    *link = assoc->next;
                    delete assoc;
                    --m_count;
                    return;
                }
            }
        }

        void RemoveAll()
        {
            if (m_count == 0)
                return;
            for (unsigned int i = 0; i < m_hashSize; ++i)
            {
                CAssoc* assoc = m_buckets[i];
                while (assoc != 0)
                {
                    CAssoc* next = assoc->next;
                    delete assoc;
                    assoc = next;
                }
                m_buckets[i] = 0;
            }
            m_count = 0;
        }

        int GetCount() const { return m_count; }

        // Walks every association, bucket by bucket: GetFirst, then GetNext
        // until null. The map must not change during the walk.
        CAssoc* GetFirst() const { return FirstFrom(0); }

        CAssoc* GetNext(const CAssoc* assoc) const
        {
            if (assoc->next != 0)
                return assoc->next;
            return FirstFrom(HashKey(assoc->key) + 1);
        }

        // Bytes taken as signed and sign-widened, a to z folded to capitals,
        // then h = value ^ (h * 2) over the key; the bucket is h modulo 97.
        static unsigned int HashKey(const K& key)
        {
            unsigned int h = 0;
            for (const char* p = key; *p != 0; ++p)
            {
                unsigned int value = static_cast<unsigned int>(static_cast<int>(static_cast<signed char>(*p)));
                if (value >= 'a' && value <= 'z')
                    value -= 'a' - 'A';
                h = value ^ (h * 2);
            }
            return h % HashSize;
        }

        static bool KeysEqual(const K& left, const K& right)
        {
            return left.GetLength() == right.GetLength() && left.CompareNoCase(right) == 0;
        }

    private:
        CMap(const CMap&);
        CMap& operator=(const CMap&);

        static constexpr unsigned int HashSize = 97;

        CAssoc* FirstFrom(unsigned int bucket) const
        {
            for (; bucket < m_hashSize; ++bucket)
            {
                if (m_buckets[bucket] != 0)
                    return m_buckets[bucket];
            }
            return 0;
        }

        unsigned int m_hashSize;
        CAssoc** m_buckets;
        int m_count;
    };
}

#endif
