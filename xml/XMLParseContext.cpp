#include "xml/XMLParseContext.h"

#include <windows.h>

#include <limits.h>
#include <new>
#include <string.h>

namespace TQXML
{
    namespace
    {
        // Encoding names are ASCII. (The system's own comparison would also
        // pass over hyphens.)
        bool EqualsIgnoringAsciiCase(const char* left, const char* right)
        {
            for (;; ++left, ++right)
            {
                char l = *left >= 'a' && *left <= 'z' ? static_cast<char>(*left - ('a' - 'A')) : *left;
                char r = *right >= 'a' && *right <= 'z' ? static_cast<char>(*right - ('a' - 'A')) : *right;
                if (l != r)
                    return false;
                if (l == 0)
                    return true;
            }
        }
    }

    CXMLParseContext::CXMLParseContext(CXMLNode* root)
        : m_root(root), m_current(root), m_convert(false), m_failed(false)
    {
        XML_Parser parser = m_parser.Get();
        if (parser == 0)
            return;
        XML_SetXmlDeclHandler(parser, OnXmlDecl);
        XML_SetStartElementHandler(parser, OnStartElement);
        XML_SetEndElementHandler(parser, OnEndElement);
        XML_SetCharacterDataHandler(parser, OnCharacterData);
        XML_SetUserData(parser, this);
    }

    CXMLParseContext::~CXMLParseContext()
    {
    }

    bool CXMLParseContext::Parse(const char* text, int length)
    {
        if (m_parser.Get() == 0)
        {
            // Nothing was read, so the position is the start of the text.
            SetErrorMessage(1, 0, XML_ERROR_NO_MEMORY);
            return false;
        }
        if (text == 0)
        {
            text = "";
            length = 0;
        }
        if (XML_Parse(m_parser.Get(), text, length, 1) != XML_STATUS_OK)
        {
            // A failure inside a handler keeps its own message and position.
            if (!m_failed)
                SetErrorMessage(XML_GetCurrentLineNumber(m_parser.Get()), XML_GetCurrentColumnNumber(m_parser.Get()),
                    XML_GetErrorCode(m_parser.Get()));
            return false;
        }
        if (m_failed)
            return false;
        try
        {
            FlushText();
        }
        catch (const std::bad_alloc&)
        {
            Fail(XML_ERROR_NO_MEMORY);
        }
        return !m_failed;
    }

    void CXMLParseContext::SetErrorMessage(unsigned long line, unsigned long column, XML_Error error)
    {
        const char* text = XML_ErrorString(error);
        m_errorMessage.Format("XML Parse error at line %d, column %d: %s", static_cast<int>(line),
            static_cast<int>(column), text != 0 ? text : "");
    }

    void CXMLParseContext::Fail(XML_Error error)
    {
        if (m_failed)
            return;
        m_failed = true;
        m_pendingText.RemoveAll();
        try
        {
            SetErrorMessage(XML_GetCurrentLineNumber(m_parser.Get()), XML_GetCurrentColumnNumber(m_parser.Get()), error);
        }
        catch (const std::bad_alloc&)
        {
            // The load fails all the same, only without a message.
        }
    }

    // The handlers run inside expat's C code, which an exception must not
    // cross: running out of memory there fails the load instead, and the
    // handlers do nothing more until the parse returns.

    void XMLCALL CXMLParseContext::OnXmlDecl(void* userData, const XML_Char*, const XML_Char* encoding, int)
    {
        CXMLParseContext* context = static_cast<CXMLParseContext*>(userData);
        if (context->m_failed || encoding == 0 || encoding[0] == 0)
            return;
        if (EqualsIgnoringAsciiCase(encoding, "UTF-8"))
            context->m_convert = true;
    }

    void XMLCALL CXMLParseContext::OnStartElement(void* userData, const XML_Char* name, const XML_Char** attributes)
    {
        CXMLParseContext* context = static_cast<CXMLParseContext*>(userData);
        if (context->m_failed)
            return;
        try
        {
            context->StartElement(name, attributes);
        }
        catch (const std::bad_alloc&)
        {
            context->Fail(XML_ERROR_NO_MEMORY);
        }
    }

    void XMLCALL CXMLParseContext::OnEndElement(void* userData, const XML_Char* name)
    {
        CXMLParseContext* context = static_cast<CXMLParseContext*>(userData);
        if (context->m_failed)
            return;
        try
        {
            context->EndElement(name);
        }
        catch (const std::bad_alloc&)
        {
            context->Fail(XML_ERROR_NO_MEMORY);
        }
    }

    void XMLCALL CXMLParseContext::OnCharacterData(void* userData, const XML_Char* text, int length)
    {
        CXMLParseContext* context = static_cast<CXMLParseContext*>(userData);
        if (context->m_failed)
            return;
        try
        {
            context->CharacterData(text, length);
        }
        catch (const std::bad_alloc&)
        {
            context->Fail(XML_ERROR_NO_MEMORY);
        }
    }

    void CXMLParseContext::StartElement(const char* name, const char** attributes)
    {
        if (m_current.IsNull())
            return;
        FlushText();
        CRefCount::CPtr<CXMLNode> parent(m_current);
        m_current = parent->AddChild(name);
        for (const char** pair = attributes; pair != 0 && pair[0] != 0; pair += 2)
        {
            const char* value = pair[1];
            if (value[0] == 0)
            {
                m_current->SetAttribute(pair[0], "");
            }
            else if (m_convert)
            {
                const char* converted = 0;
                int convertedLength = 0;
                if (!Convert(value, static_cast<int>(strlen(value)), converted, convertedLength))
                {
                    Fail(XML_ERROR_NO_MEMORY);
                    return;
                }
                m_current->SetAttribute(pair[0], CSmallString(converted, convertedLength));
            }
            else
            {
                m_current->SetAttribute(pair[0], value);
            }
        }
    }

    void CXMLParseContext::EndElement(const char* name)
    {
        if (m_current.IsNull() || strcmp(m_current->GetName(), name) != 0)
            return;
        FlushText();
        m_current = m_current->GetParent();
    }

    void CXMLParseContext::CharacterData(const char* text, int length)
    {
        if (m_current.IsNull() || length <= 0)
            return;
        // A node's text is one string: refuse to let it pass the string's
        // length limit (only entity expansion can produce that much).
        unsigned int pending = m_pendingText.GetSize();
        if (static_cast<unsigned int>(length) > static_cast<unsigned int>(INT_MAX - m_current->GetText().GetLength()) - pending)
        {
            Fail(XML_ERROR_NO_MEMORY);
            return;
        }
        m_pendingText.SetSize(pending + static_cast<unsigned int>(length));
        memcpy(m_pendingText.GetData() + pending, text, static_cast<size_t>(length));
    }

    // Appends the present run of text to the node that holds it, converted
    // as a whole: expat never splits a character between two pieces, so this
    // gives the same bytes as converting piece by piece.
    void CXMLParseContext::FlushText()
    {
        int length = static_cast<int>(m_pendingText.GetSize());
        if (length == 0 || m_current.IsNull())
            return;
        if (m_convert)
        {
            const char* converted = 0;
            int convertedLength = 0;
            if (!Convert(m_pendingText.GetData(), length, converted, convertedLength))
            {
                Fail(XML_ERROR_NO_MEMORY);
                return;
            }
            m_current->AppendText(converted, convertedLength);
        }
        else
        {
            m_current->AppendText(m_pendingText.GetData(), length);
        }
        m_pendingText.SetSize(0);
    }

    bool CXMLParseContext::Convert(const char* text, int length, const char*& converted, int& convertedLength)
    {
        int wideLength = MultiByteToWideChar(CP_UTF8, 0, text, length, 0, 0);
        if (wideLength <= 0)
            return false;
        m_wideBuffer.SetSize(static_cast<unsigned int>(wideLength));
        if (MultiByteToWideChar(CP_UTF8, 0, text, length, m_wideBuffer.GetData(), wideLength) != wideLength)
            return false;
        int byteLength = WideCharToMultiByte(CP_ACP, 0, m_wideBuffer.GetData(), wideLength, 0, 0, 0, 0);
        if (byteLength <= 0)
            return false;
        m_byteBuffer.SetSize(static_cast<unsigned int>(byteLength));
        if (WideCharToMultiByte(CP_ACP, 0, m_wideBuffer.GetData(), wideLength, m_byteBuffer.GetData(), byteLength, 0, 0)
            != byteLength)
            return false;
        converted = m_byteBuffer.GetData();
        convertedLength = byteLength;
        return true;
    }
}
