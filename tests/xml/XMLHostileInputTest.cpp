#include "tests/support/TempFolder.h"
#include "tests/support/TestFiles.h"
#include "tests/xml/AllocationLimit.h"
#include "xml/XMLException.h"
#include "xml/XMLLoader.h"
#include "xml/XMLNode.h"

#include <gtest/gtest.h>

#include <string>

using TQXML::CXMLNode;

namespace
{
    typedef CRefCount::CPtr<CXMLNode> CNodePtr;

    // Far deeper than any thread's stack could follow one frame per level.
    const int Depth = 250000;

    std::string Nested(int depth, bool closed)
    {
        std::string document;
        document.reserve(static_cast<size_t>(depth) * 8);
        for (int i = 0; i < depth; ++i)
            document += "<e>";
        document += "bottom";
        if (closed)
        {
            for (int i = 0; i < depth; ++i)
                document += "</e>";
        }
        return document;
    }

    // Ten levels of ten references each: 10^10 copies of "lol" if expanded.
    std::string Laughs()
    {
        std::string document = "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [\n<!ENTITY lol0 \"lol\">\n";
        for (int level = 1; level <= 10; ++level)
        {
            document += "<!ENTITY lol" + std::to_string(level) + " \"";
            for (int i = 0; i < 10; ++i)
                document += "&lol" + std::to_string(level - 1) + ";";
            document += "\">\n";
        }
        document += "]>\n";
        return document;
    }

    // The outcome in the raising style: the exception's text, or "" on success.
    std::string RaisedText(const std::string& document, CNodePtr& root)
    {
        try
        {
            TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root, TQXML::RaiseOnError);
        }
        catch (TQXML::CException* e)
        {
            std::string text = e->GetErrorText();
            e->Dispose();
            return text;
        }
        return "";
    }
}

// These run on the test program's main thread, so an overflow ends the program.
TEST(HostileInput, DeepDocumentIsBuiltAndReleasedWithoutRecursion)
{
    std::string document = Nested(Depth, true);
    for (int style = 0; style < 2; ++style)
    {
        CNodePtr root;
        ASSERT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root,
            static_cast<TQXML::EParseFailure>(style)));
        int depth = 0;
        CXMLNode* node = root.Get();
        while (node->GetChildCount() == 1)
        {
            node = node->GetChild(0).Get();
            ++depth;
        }
        EXPECT_EQ(Depth, depth);
        EXPECT_STREQ("bottom", node->GetText());

        // An inner node that outlives the document keeps its own deep subtree.
        CXMLNode* middle = root.Get();
        for (int i = 0; i < Depth / 2; ++i)
            middle = middle->GetChild(0).Get();
        CNodePtr kept(middle);
        root.Reset();
        EXPECT_EQ(1, kept->GetRefCount());
        EXPECT_EQ(1u, kept->GetChildCount());
        kept.Reset();
    }
}

TEST(HostileInput, DeepUnclosedDocumentFailsAndReleasesItsPartialTree)
{
    std::string document = Nested(Depth, false);
    CNodePtr root;
    EXPECT_FALSE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
    EXPECT_TRUE(root.IsNull());

    std::string text = RaisedText(document, root);
    EXPECT_EQ("XML Parse error at line 1, column " + std::to_string(document.size()) + ": no element found", text);
    EXPECT_TRUE(root.IsNull());
}

TEST(HostileInput, EntityExpansionFailsWithTheParsersOwnError)
{
    const char* const uses[] = {"<lolz>&lol10;</lolz>", "<lolz a=\"&lol10;\"/>"};
    for (size_t i = 0; i < sizeof(uses) / sizeof(uses[0]); ++i)
    {
        std::string document = Laughs() + uses[i];
        SCOPED_TRACE(uses[i]);
        CNodePtr root(new CXMLNode());
        EXPECT_FALSE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
        EXPECT_TRUE(root.IsNull());

        std::string text = RaisedText(document, root);
        EXPECT_EQ(0u, text.find("XML Parse error at line ")) << text;
        EXPECT_NE(std::string::npos, text.find("amplification")) << text;
        EXPECT_TRUE(root.IsNull());
    }
}

TEST(HostileInput, LongTextMadeOfManyPiecesIsKeptWhole)
{
    // Each line arrives as its own piece of character data.
    std::string body;
    for (int i = 0; i < 200000; ++i)
        body += "line &amp; more\n";
    std::string document = "<?xml version='1.0' encoding='UTF-8'?><t>" + body + "</t>";
    CNodePtr root;
    ASSERT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
    std::string expected;
    for (int i = 0; i < 200000; ++i)
        expected += "line & more\n";
    const CSmallString& text = root->FindChild("t")->GetText();
    EXPECT_EQ(expected, std::string(text, text.GetLength()));
}

TEST(HostileInput, RunningOutOfMemoryWhileBuildingFailsTheLoad)
{
    std::string lines, wide, children;
    for (int i = 0; i < 300000; ++i)
        lines += "text\n";
    for (int i = 0; i < 700000; ++i)
        wide += "\xC3\xA9";
    for (int i = 0; i < 300000; ++i)
        children += "<c/>";
    struct Case
    {
        const char* label;
        std::string document;
    } cases[] = {
        {"long text", "<t>" + lines + "</t>"},
        {"long converted attribute", "<?xml version='1.0' encoding='UTF-8'?><t a='" + wide + "'/>"},
        {"long converted text", "<?xml version='1.0' encoding='UTF-8'?><t>" + wide + "</t>"},
        {"many children", "<t>" + children + "</t>"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].label);
        const std::string& document = cases[i].document;
        CNodePtr root(new CXMLNode());
        bool loaded = true;
        std::string text;
        {
            CAllocationLimit limit(1 << 20);
            loaded = TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root);
            EXPECT_TRUE(root.IsNull());
            root = new CXMLNode();
            text = RaisedText(document, root);
            EXPECT_TRUE(root.IsNull());
            EXPECT_LT(0, CAllocationLimit::GetRefusals());
        }
        EXPECT_FALSE(loaded);
        EXPECT_EQ(0u, text.find("XML Parse error at line ")) << text;
        EXPECT_TRUE(text.size() > 15 && text.compare(text.size() - 15, 15, ": out of memory") == 0) << text;

        // With memory to spare the same document loads.
        EXPECT_TRUE(TQXML::LoadBuffer(document.data(), static_cast<int>(document.size()), root));
    }
}

TEST(HostileInput, FileTooLargeForMemoryLeavesTheRootAlone)
{
    CTempFolder temp;
    WriteTextFile(temp / "large.xml", "<t>" + std::string(2 << 20, 'x') + "</t>");
    CNodePtr root;
    ASSERT_TRUE(TQXML::LoadBuffer("<kept/>", -1, root));
    CXMLNode* kept = root.Get();
    for (int style = 0; style < 2; ++style)
    {
        CAllocationLimit limit(1 << 20);
        CSmallString text;
        EXPECT_FALSE(TQXML::ReadFileToString((temp / "large.xml").c_str(), text));
        EXPECT_FALSE(TQXML::LoadFile((temp / "large.xml").c_str(), root, static_cast<TQXML::EParseFailure>(style)));
        EXPECT_EQ(kept, root.Get());
    }
}
