#ifndef FOUNDATION_STOREABC_H
#define FOUNDATION_STOREABC_H

// A byte store read and written in exact counts, which also carries one
// remembered 32-bit value. Failures are raised by the implementations.
class CStoreABC
{
public:
    // Reads exactly count bytes or raises; answers count.
    virtual int Read(void* buffer, int count) = 0;
    // Writes exactly count bytes or raises.
    virtual void Write(const void* buffer, int count) = 0;
    virtual bool IsAtEnd() = 0;
    // Reads the next 4 bytes (machine byte order) into the stored long when
    // reread is true or the stored long is still 0; answers the stored long.
    virtual int ReadStoredLong(bool reread);
    // Remembers value and writes its 4 bytes.
    virtual void WriteStoredLong(int value);
    virtual ~CStoreABC();

protected:
    explicit CStoreABC(bool reading);

    bool m_reading;
    int m_storedLong;

private:
    CStoreABC(const CStoreABC&);
    CStoreABC& operator=(const CStoreABC&);
};

#endif
