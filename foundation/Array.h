#ifndef FOUNDATION_ARRAY_H
#define FOUNDATION_ARRAY_H

#include <new>
#include <string.h>
#include <type_traits>

namespace Container
{
    // A growable array of plain elements. Storage is raw memory: growing
    // moves elements by copying their bytes and never runs a constructor, so
    // an element type must be movable that way; a zero-filled slot of a
    // counted pointer is a valid null pointer. Each reallocation multiplies
    // the allocation increment by four, up to 262144 elements.
    //
    // No operation checks an index: the caller keeps every index within the
    // count. Allocation failure raises the standard out-of-memory exception
    // and leaves the elements, capacity and count as they were.
    template <class T>
    class CArray
    {
    public:
        CArray()
            : m_data(0), m_growStep(1), m_capacity(0), m_count(0), m_zeroFill(true)
        {
        }

        CArray(unsigned int initialSize, bool zeroFill)
            : m_data(0), m_growStep(1), m_capacity(0), m_count(0), m_zeroFill(zeroFill)
        {
            SetSize(initialSize);
        }

        virtual ~CArray() { RemoveAll(); }

        // Answers true when the storage was reallocated. Shrinking keeps the
        // capacity; growing zero-fills the new elements when the flag is set.
        bool SetSize(unsigned int size)
        {
            if (m_count >= size)
            {
                if (size < m_count)
                    RemoveAt(size, m_count - size);
                return false;
            }

            bool reallocated = false;
            if (m_capacity < size)
            {
                unsigned int step = m_growStep >= MaxGrowStep ? MaxGrowStep : m_growStep * 4;
                m_growStep = step;
                if (m_capacity + step < size)
                    step = size - m_capacity;
                Reallocate(m_capacity + step);
                reallocated = true;
            }
            if (m_zeroFill)
                memset(static_cast<void*>(m_data + m_count), 0, (size - m_count) * sizeof(T));
            m_count = size;
            return reallocated;
        }

        unsigned int GetSize() const { return m_count; }
        T* GetData() const { return m_data; }
        unsigned int GetCapacity() const { return m_capacity; }
        unsigned int GetGrowStep() const { return m_growStep; }
        bool GetZeroFill() const { return m_zeroFill; }
        void SetZeroFill(bool zeroFill) { m_zeroFill = zeroFill; }

        // The element may be one of this array's own.
        void Add(const T& element)
        {
            T copy(element);
            SetSize(m_count + 1);
            new (static_cast<void*>(m_data + m_count - 1)) T(copy);
        }

        // Copies count elements to index, moving the elements from there up.
        // The elements must not lie in this array. A null pointer or a count
        // of 0 changes nothing.
        void InsertAt(unsigned int index, const T* elements, unsigned int count)
        {
            if (elements == 0 || count == 0)
                return;
            unsigned int oldCount = m_count;
            SetSize(m_count + count);
            memmove(static_cast<void*>(m_data + index + count), m_data + index, (oldCount - index) * sizeof(T));
            // The gap holds the moved elements' old bytes: build over them, never assign.
            for (unsigned int i = 0; i < count; ++i)
                new (static_cast<void*>(m_data + index + i)) T(elements[i]);
        }

        void Append(const T* elements, unsigned int count) { InsertAt(m_count, elements, count); }

        // Moves the elements after the run down over it. The storage stays.
        // Elements with a destructor (counted pointers) are destroyed first,
        // so their references are released, and the freed slots are left zero.
        void RemoveAt(unsigned int index, unsigned int count)
        {
            if (count == 0)
                return;
            if (!std::is_trivially_destructible<T>::value)
            {
                for (unsigned int i = index; i < index + count; ++i)
                    m_data[i].~T();
            }
            memmove(static_cast<void*>(m_data + index), m_data + index + count,
                (m_count - index - count) * sizeof(T));
            m_count -= count;
            if (!std::is_trivially_destructible<T>::value)
            {
                for (unsigned int i = m_count; i < m_count + count; ++i)
                    memset(static_cast<void*>(m_data + i), 0, sizeof(T));
            }
        }

        // Destroys every element in index order and frees the storage; the
        // zero-fill flag stays.
        void RemoveAll()
        {
            for (unsigned int i = 0; i < m_count; ++i)
                m_data[i].~T();
            ::operator delete[](static_cast<void*>(m_data));
            m_data = 0;
            m_growStep = 1;
            m_capacity = 0;
            m_count = 0;
        }

    private:
        CArray(const CArray&);
        CArray& operator=(const CArray&);

        static constexpr unsigned int MaxGrowStep = 0x40000;

        void Reallocate(unsigned int capacity)
        {
            // Refuse rather than wrap the byte count on a 32-bit build.
            if (capacity < m_capacity || capacity > static_cast<size_t>(-1) / sizeof(T))
                throw std::bad_alloc();
            T* data = static_cast<T*>(::operator new[](capacity * sizeof(T)));
            if (m_count != 0)
                memcpy(static_cast<void*>(data), m_data, m_count * sizeof(T));
            ::operator delete[](static_cast<void*>(m_data));
            m_data = data;
            m_capacity = capacity;
        }

        T* m_data;
        unsigned int m_growStep;
        unsigned int m_capacity;
        unsigned int m_count;
        bool m_zeroFill;
    };
}

#endif
