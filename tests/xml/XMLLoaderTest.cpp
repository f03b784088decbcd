#include "foundation/BaseException.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"
#include "xml/XMLException.h"
#include "xml/XMLLoader.h"
#include "xml/XMLNode.h"
#include "xml/XMLNodeItr.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <string>

using TQXML::CXMLNode;

namespace
{
    typedef CRefCount::CPtr<CXMLNode> CNodePtr;

    std::string Bytes(const CSmallString& text)
    {
        return std::string(text, text.GetLength());
    }

    // The outcome of one load in the raising style: the exception's text, or
    // "" when the load succeeded.
    std::string RaisedText(const std::string& document, CNodePtr& root, int* code = NULL)
    {
        try
        {
            EXPECT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root, TQXML::RaiseOnError));
        }
        catch (TQXML::CException* e)
        {
            std::string text = e->GetErrorText();
            if (code != NULL)
                *code = e->GetCode();
            e->Dispose();
            return text;
        }
        return "";
    }

    bool EndsWith(const std::string& text, const std::string& end)
    {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }

    // Makes a file of the given size without writing its bytes.
    void MakeSparseFile(const std::string& path, unsigned long long size)
    {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD returned = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, NULL, 0, NULL, 0, &returned, NULL);
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(size);
        EXPECT_TRUE(SetFilePointerEx(file, position, NULL, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
        CloseHandle(file);
    }
}

TEST(LoadFile, ReadsARealFile)
{
    CTempFolder temp;
    WriteTextFile(temp / "paths.dat",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<!-- folders -->\r\n"
        "<paths>\r\n"
        "  <entry name=\"APP\" path=\"%VTDIR%\\app\\\" type=\"0\"/>\r\n"
        "  <entry name=\"new\" path=\"new\\\" type=\"1\">note</entry>\r\n"
        "</paths>\r\n");
    CNodePtr root;
    ASSERT_TRUE(TQXML::LoadFile((temp / "paths.dat").c_str(), root, TQXML::RaiseOnError));
    ASSERT_FALSE(root.IsNull());
    CXMLNode* paths = root->FindChild("paths");
    ASSERT_TRUE(paths != NULL);
    std::string seen;
    for (TQXML::CXMLNodeItr itr(paths); itr.IsValid(); itr.Next())
    {
        const CXMLNode::CAttributeMap& attributes = itr.Current()->GetAttributes();
        seen += std::string(attributes.Lookup(CSmallString("name"))->value) + "|"
            + std::string(attributes.Lookup(CSmallString("PATH"))->value) + "|"
            + std::string(attributes.Lookup(CSmallString("type"))->value) + "|" + Bytes(itr.Current()->GetText()) + ";";
    }
    EXPECT_EQ("APP|%VTDIR%\\app\\|0|;new|new\\|1|note;", seen);
    EXPECT_EQ("\n  \n  \n", Bytes(paths->GetText()));
}

TEST(LoadBuffer, LengthBoundsTheTextOrRunsToItsNul)
{
    const char text[] = "<a>one</a><b/>";
    CNodePtr root;
    ASSERT_TRUE(TQXML::LoadBuffer(text, 10, root));
    EXPECT_STREQ("one", root->FindChild("a")->GetText());
    // The whole text has two top-level elements.
    EXPECT_FALSE(TQXML::LoadBuffer(text, -1, root));
    EXPECT_TRUE(root.IsNull());
    ASSERT_TRUE(TQXML::LoadBuffer("<a>x</a>", -1, root));
    EXPECT_STREQ("x", root->FindChild("a")->GetText());
}

TEST(LoadBuffer, ConvertsOnlyDocumentsDeclaredUtf8)
{
    // "\xC3\xA9" is e acute in UTF-8; its ANSI byte (code page 1252) is 0xE9.
    struct Case
    {
        const char* prolog;
        const char* body;
        const char* stored;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", "\xC3\xA9", "\xE9"},
        {"<?xml version='1.0' encoding='utf-8'?>", "\xC3\xA9", "\xE9"},
        {"<?xml version='1.0' encoding='Utf-8' standalone='yes'?>", "&#233;", "\xE9"},
        // A character that the code page lacks becomes its default character.
        {"<?xml version='1.0' encoding='UTF-8'?>", "a\xE4\xB8\xAD" "b", "a?b"},
        {"", "\xC3\xA9", "\xC3\xA9"},
        {"<?xml version='1.0'?>", "\xC3\xA9", "\xC3\xA9"},
        {"", "&#233;", "\xC3\xA9"},
        {"<?xml version='1.0' encoding='ISO-8859-1'?>", "\xE9", "\xC3\xA9"},
        {"<?xml version='1.0' encoding='US-ASCII'?>", "&#233;", "\xC3\xA9"},
        {"\xEF\xBB\xBF", "\xC3\xA9", "\xC3\xA9"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        std::string document = std::string(cases[i].prolog) + "<r a='x" + cases[i].body + "y'>x" + cases[i].body + "y</r>";
        SCOPED_TRACE(document);
        CNodePtr root;
        ASSERT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
        CXMLNode* r = root->FindChild("r");
        ASSERT_TRUE(r != NULL);
        std::string expected = std::string("x") + cases[i].stored + "y";
        EXPECT_EQ(expected, Bytes(r->GetText()));
        EXPECT_EQ(expected, Bytes(r->GetAttributes().Lookup(CSmallString("a"))->value));
    }
}

TEST(LoadBuffer, Utf16DocumentIsStoredAsTheParserDeliversIt)
{
    // Only a declared UTF-8 turns the conversion on: a UTF-16 document's text
    // arrives as UTF-8 and stays so.
    const wchar_t text[] = L"\xFEFF<?xml version='1.0' encoding='UTF-16'?><r a='\x00E9'>\x00E9</r>";
    std::string document(reinterpret_cast<const char*>(text), (sizeof(text) / sizeof(text[0]) - 1) * 2);
    CNodePtr root;
    ASSERT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
    CXMLNode* r = root->FindChild("r");
    ASSERT_TRUE(r != NULL);
    EXPECT_EQ("\xC3\xA9", Bytes(r->GetText()));
    EXPECT_EQ("\xC3\xA9", Bytes(r->GetAttributes().Lookup(CSmallString("a"))->value));
}

TEST(LoadBuffer, ConversionJoinsTextAroundChildrenAndLeavesNamesAlone)
{
    CNodePtr root;
    const char document[] = "<?xml version='1.0' encoding='UTF-8'?>"
                            "<r>\xC3\xA9<c\xC3\xA9 \xC3\xA9t\xC3\xA9='\xC3\xA0'/>\n\xC3\xA8&amp;\xC3\xAA</r>";
    ASSERT_TRUE(TQXML::LoadBuffer(document, -1, root));
    CXMLNode* r = root->FindChild("r");
    ASSERT_TRUE(r != NULL);
    EXPECT_EQ("\xE9\n\xE8&\xEA", Bytes(r->GetText()));
    CXMLNode* child = r->FindChild("c\xC3\xA9");
    ASSERT_TRUE(child != NULL);
    const CXMLNode::CAttributeMap::CAssoc* attribute = child->GetAttributes().Lookup(CSmallString("\xC3\xA9t\xC3\xA9"));
    ASSERT_TRUE(attribute != NULL);
    EXPECT_EQ("\xE0", Bytes(attribute->value));
}

TEST(LoadBuffer, MalformedDocumentsFailInBothStyles)
{
    struct Case
    {
        std::string document;
        std::string message;
    } cases[] = {
        {"<a>\n  <b></c>\n</a>", "XML Parse error at line 2, column 7: mismatched tag"},
        {"", "XML Parse error at line 1, column 0: no element found"},
        {"   \n", "XML Parse error at line 2, column 0: no element found"},
        {"<a><b>text", "XML Parse error at line 1, column 10: no element found"},
        {"<a>\n<b attr='1></b></a>", "XML Parse error at line 2, column 11: not well-formed (invalid token)"},
        {"<a/><b/>", "XML Parse error at line 1, column 4: junk after document element"},
        {"<a x='1' x='2'/>", "XML Parse error at line 1, column 9: duplicate attribute"},
        {"<a>&undefined;</a>", "XML Parse error at line 1, column 3: undefined entity"},
        {"<?xml version='1.0' encoding='EBCDIC-XX'?><a/>",
            "XML Parse error at line 1, column 30: unknown encoding"},
        {std::string("<a>\0</a>", 8), "XML Parse error at line 1, column 3: not well-formed (invalid token)"},
        {"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR", "XML Parse error at line 1, column 0: not well-formed (invalid token)"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].document);
        CNodePtr root(new CXMLNode());
        EXPECT_FALSE(TQXML::LoadBuffer(cases[i].document.data(), static_cast<int>(cases[i].document.size()), root,
            TQXML::ReturnFalseOnError));
        EXPECT_TRUE(root.IsNull());

        root = new CXMLNode();
        int code = -1;
        EXPECT_EQ(cases[i].message, RaisedText(cases[i].document, root, &code));
        EXPECT_EQ(CBaseException::DataFormatError, code);
        EXPECT_TRUE(root.IsNull());
    }
}

TEST(LoadBuffer, RaisedErrorIsCaughtAsABaseException)
{
    CNodePtr root;
    try
    {
        TQXML::LoadBuffer("<a></b>", -1, root, TQXML::RaiseOnError);
        ADD_FAILURE() << "nothing was raised";
    }
    catch (CBaseException* e)
    {
        EXPECT_TRUE(EndsWith(e->GetErrorText(), "mismatched tag")) << e->GetErrorText();
        EXPECT_EQ(CBaseException::DataFormatError, e->GetCode());
        e->Dispose();
    }
}

TEST(LoadBuffer, ReleasesTheTreeTheRootHeldWhateverTheOutcome)
{
    const char* documents[] = {"<new/>", "<broken>"};
    for (int style = 0; style < 2; ++style)
    {
        for (size_t i = 0; i < 2; ++i)
        {
            SCOPED_TRACE(documents[i]);
            CNodePtr root;
            ASSERT_TRUE(TQXML::LoadBuffer("<old><child/></old>", -1, root));
            CNodePtr old = root;
            EXPECT_EQ(2, old->GetRefCount());
            bool loaded = false;
            try
            {
                loaded = TQXML::LoadBuffer(documents[i], -1, root, static_cast<TQXML::EParseFailure>(style));
            }
            catch (TQXML::CException* e)
            {
                EXPECT_EQ(TQXML::RaiseOnError, style);
                e->Dispose();
            }
            EXPECT_EQ(i == 0, loaded);
            EXPECT_EQ(1, old->GetRefCount());
            EXPECT_NE(old.Get(), root.Get());
            EXPECT_EQ(i == 0, !root.IsNull());
        }
    }
}

TEST(LoadFile, MissingOrUnreadableFileLeavesTheRootAlone)
{
    CTempFolder temp;
    MakeFolder(temp / "folder");
    MakeSparseFile(temp / "huge.xml", (1ull << 32) + 10);
    MakeSparseFile(temp / "over-2GiB.xml", 0x80000000ull);
    const std::string paths[] = {temp / "missing.xml", temp / "missing\\deeper.xml", temp / "folder",
        temp / "huge.xml", temp / "over-2GiB.xml"};
    for (size_t i = 0; i < sizeof(paths) / sizeof(paths[0]); ++i)
    {
        SCOPED_TRACE(paths[i]);
        for (int style = 0; style < 2; ++style)
        {
            CNodePtr root;
            ASSERT_TRUE(TQXML::LoadBuffer("<kept/>", -1, root));
            CXMLNode* kept = root.Get();
            // Nothing may be raised in either style.
            EXPECT_FALSE(TQXML::LoadFile(paths[i].c_str(), root, static_cast<TQXML::EParseFailure>(style)));
            EXPECT_EQ(kept, root.Get());
            EXPECT_EQ(1, kept->GetRefCount());
        }
    }
    CNodePtr root;
    EXPECT_FALSE(TQXML::LoadFile(NULL, root));
}

TEST(LoadFile, EmptyAndBrokenFilesFailLikeBuffers)
{
    CTempFolder temp;
    WriteTextFile(temp / "empty.xml", "");
    WriteTextFile(temp / "cut.xml", "<paths>\n  <entry name=\"a\"");
    WriteTextFile(temp / "binary.xml", std::string("\0\1\2\3\xFF\xFE", 6));
    struct Case
    {
        const char* name;
        const char* message;
    } cases[] = {
        {"empty.xml", "XML Parse error at line 1, column 0: no element found"},
        {"cut.xml", "XML Parse error at line 2, column 2: unclosed token"},
        {"binary.xml", "XML Parse error at line 1, column 0: not well-formed (invalid token)"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].name);
        std::string path = temp / cases[i].name;
        CNodePtr root(new CXMLNode());
        EXPECT_FALSE(TQXML::LoadFile(path.c_str(), root));
        EXPECT_TRUE(root.IsNull());

        root = new CXMLNode();
        try
        {
            TQXML::LoadFile(path.c_str(), root, TQXML::RaiseOnError);
            ADD_FAILURE() << "nothing was raised";
        }
        catch (TQXML::CException* e)
        {
            EXPECT_STREQ(cases[i].message, e->GetErrorText());
            e->Dispose();
        }
        EXPECT_TRUE(root.IsNull());
    }
}

TEST(ReadFileToString, ReadsEveryByte)
{
    CTempFolder temp;
    std::string bytes("a\0b\r\n\xFF", 6);
    WriteTextFile(temp / "bytes", bytes);
    WriteTextFile(temp / "empty", "");
    CSmallString text;
    ASSERT_TRUE(TQXML::ReadFileToString((temp / "bytes").c_str(), text));
    EXPECT_EQ(bytes, Bytes(text));

    CSmallString empty;
    EXPECT_TRUE(TQXML::ReadFileToString((temp / "empty").c_str(), empty));
    EXPECT_EQ(0, empty.GetLength());

    CSmallString none("unchanged");
    EXPECT_FALSE(TQXML::ReadFileToString((temp / "missing").c_str(), none));
}
