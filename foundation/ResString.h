#ifndef FOUNDATION_RESSTRING_H
#define FOUNDATION_RESSTRING_H

// A string of the program's own string table, loaded on first use into a
// block of the process heap of exactly its size (text and terminator), and
// freed with the object. A string that is missing or empty gives null, and
// each later request tries to load it again.
class CResString
{
public:
    explicit CResString(unsigned int id);
    virtual ~CResString();

    // The text, loading it first when needed; null when it cannot be loaded.
    const char* GetText();
    const char* Load();

    unsigned int GetId() const { return m_id; }
    // Bytes of text without the terminator; 0 until loaded.
    int GetLength() const { return m_length; }

private:
    CResString(const CResString&);
    CResString& operator=(const CResString&);

    unsigned int m_id;
    char* m_text;
    int m_length;
};

#endif
