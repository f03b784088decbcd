#ifndef XML_XMLPARSECONTEXT_H
#define XML_XMLPARSECONTEXT_H

#include "foundation/Array.h"
#include "foundation/RefCount.h"
#include "foundation/SmallString.h"
#include "xml/XMLNode.h"

#include <expat.h>

namespace TQXML
{
    // The state of one load: an expat parser of its own whose handlers grow
    // the tree under the document node. Used once, then destroyed.
    //
    // Text is stored as the parser delivers it (UTF-8) unless the document's
    // declaration names UTF-8, in which case it is converted to the ANSI code
    // page. Attribute names are never converted.
    class CXMLParseContext
    {
    public:
        explicit CXMLParseContext(CXMLNode* root);
        ~CXMLParseContext();

        // Parses the whole text in one call. False when the parser could not
        // be created, the text is malformed or memory ran out; the error
        // message then tells why and where.
        bool Parse(const char* text, int length);

        const CSmallString& GetErrorMessage() const { return m_errorMessage; }

    private:
        CXMLParseContext(const CXMLParseContext&);
        CXMLParseContext& operator=(const CXMLParseContext&);

        // Frees the parser after every other field is gone.
        class CParser
        {
        public:
            CParser() : m_handle(XML_ParserCreate(0)) {}
            ~CParser() { if (m_handle != 0) XML_ParserFree(m_handle); }
            XML_Parser Get() const { return m_handle; }

        private:
            CParser(const CParser&);
            CParser& operator=(const CParser&);

            XML_Parser m_handle;
        };

        static void XMLCALL OnXmlDecl(void* userData, const XML_Char* version, const XML_Char* encoding, int standalone);
        static void XMLCALL OnStartElement(void* userData, const XML_Char* name, const XML_Char** attributes);
        static void XMLCALL OnEndElement(void* userData, const XML_Char* name);
        static void XMLCALL OnCharacterData(void* userData, const XML_Char* text, int length);

        void StartElement(const char* name, const char** attributes);
        void EndElement(const char* name);
        void CharacterData(const char* text, int length);
        void FlushText();
        // The converted bytes, valid until the next conversion; false when the
        // system cannot convert them.
        bool Convert(const char* text, int length, const char*& converted, int& convertedLength);
        // Stops building the tree for good; the load fails with this error
        // at the parser's present position.
        void Fail(XML_Error error);
        void SetErrorMessage(unsigned long line, unsigned long column, XML_Error error);

        CParser m_parser;
        CSmallString m_errorMessage;
        CRefCount::CPtr<CXMLNode> m_root;
        CRefCount::CPtr<CXMLNode> m_current;
        bool m_convert;
        Container::CArray<wchar_t> m_wideBuffer;
        Container::CArray<char> m_byteBuffer;
        // The present run of character data. expat hands a run over in many
        // small pieces (one per line, per reference, per entity), and the
        // string's exact-size appends would copy the whole text once per piece.
        Container::CArray<char> m_pendingText;
        bool m_failed;
    };
}

#endif
