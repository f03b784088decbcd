#ifndef XML_XMLLOADER_H
#define XML_XMLLOADER_H

#include "foundation/RefCount.h"
#include "foundation/SmallString.h"
#include "xml/XMLNode.h"

namespace TQXML
{
    // What a load does with a document that cannot be parsed. Either way the
    // partial tree is released and the root pointer left null.
    enum EParseFailure
    {
        // Answer false and drop the parser's message (the problem reporter).
        ReturnFalseOnError,
        // Raise a new TQXML::CException carrying the message (the loader);
        // the catcher disposes of it.
        RaiseOnError
    };

    // Loads the file's document into root. A missing or unreadable file
    // answers false and leaves root as it was, in either failure style;
    // otherwise as LoadBuffer.
    bool LoadFile(const char* path, CRefCount::CPtr<CXMLNode>& root, EParseFailure failure = ReturnFalseOnError);

    // Parses length bytes of XML text (a negative length: up to the first NUL
    // byte) into a new tree. Whatever root held is released first. On
    // success root holds the document node and the answer is true; a
    // malformed document leaves root null and fails as the style says.
    bool LoadBuffer(const char* text, int length, CRefCount::CPtr<CXMLNode>& root,
        EParseFailure failure = ReturnFalseOnError);

    // Reads the whole file into text. False when it cannot be opened or read,
    // when it is a folder, or when it is too large for a string (2 GiB or
    // more). A size that cannot be queried leaves text unchanged and answers
    // true.
    bool ReadFileToString(const char* path, CSmallString& text);
}

#endif
