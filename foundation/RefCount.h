#ifndef FOUNDATION_REFCOUNT_H
#define FOUNDATION_REFCOUNT_H

#include <windows.h>

// Base of intrusively counted objects. A new object has a count of 0 and
// belongs to nobody until a CRefCount::CPtr takes it; it destroys itself when
// the count drops back to 0. The count changes only atomically, but the
// smart pointers themselves are not synchronised.
//
// Slot order is part of the contract: slot 0 Release, slot 1 the destructor.
class CRefCount
{
public:
    CRefCount() : m_count(0) {}

    void AddRef() { InterlockedIncrement(&m_count); }
    // Destroys the object when this was its last reference.
    virtual void Release();
    virtual ~CRefCount();

    // For diagnostics and tests only.
    LONG GetRefCount() const { return m_count; }

    template <class T>
    class CPtr;

protected:
    // A copy is a new object: it does not inherit the original's references.
    CRefCount(const CRefCount&) : m_count(0) {}
    CRefCount& operator=(const CRefCount&) { return *this; }

private:
    volatile LONG m_count;
};

// Holds one counted reference to a T (derived from CRefCount), or null.
template <class T>
class CRefCount::CPtr
{
public:
    CPtr() : m_object(0) {}
    CPtr(T* object) : m_object(object) { if (m_object != 0) m_object->AddRef(); }
    CPtr(const CPtr& other) : m_object(other.m_object) { if (m_object != 0) m_object->AddRef(); }
    ~CPtr() { if (m_object != 0) m_object->Release(); }

    // Assigning the pointer already held changes nothing.
    CPtr& operator=(T* object)
    {
        if (object != m_object)
        {
            // Take the new reference first: the old object may be what keeps the new one alive.
            if (object != 0)
                object->AddRef();
            T* old = m_object;
            m_object = object;
            if (old != 0)
                old->Release();
        }
        return *this;
    }

    CPtr& operator=(const CPtr& other) { return *this = other.m_object; }

    void Reset()
    {
        T* old = m_object;
        m_object = 0;
        if (old != 0)
            old->Release();
    }

    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    T* Get() const { return m_object; }
    bool IsNull() const { return m_object == 0; }

private:
    T* m_object;
};

#endif
