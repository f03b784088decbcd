#include "tests/xml/FreeRecorder.h"
#include "xml/XMLLoader.h"
#include "xml/XMLNode.h"
#include "xml/XMLNodeItr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using TQXML::CXMLNode;
using TQXML::CXMLNodeItr;

namespace
{
    typedef CRefCount::CPtr<CXMLNode> CNodePtr;

    CNodePtr Load(const char* text)
    {
        CNodePtr root;
        EXPECT_TRUE(TQXML::LoadBuffer(text, -1, root)) << text;
        return root;
    }

    std::string Text(const CXMLNode* node)
    {
        return std::string(node->GetText(), node->GetText().GetLength());
    }

    std::string ChildNames(CXMLNode* node)
    {
        std::string names;
        for (CXMLNodeItr itr(node); itr.IsValid(); itr.Next())
            names += std::string(itr.Current()->GetName()) + ";";
        return names;
    }
}

TEST(XMLNode, DocumentNodeHoldsTheTopLevelElement)
{
    CNodePtr root = Load("<crash><key>abc</key></crash>");
    ASSERT_FALSE(root.IsNull());
    EXPECT_STREQ("", root->GetName());
    EXPECT_STREQ("", root->GetText());
    EXPECT_EQ(0, root->GetAttributes().GetCount());
    EXPECT_EQ(NULL, root->GetParent());
    ASSERT_EQ(1u, root->GetChildCount());

    CXMLNode* crash = root->GetChild(0).Get();
    EXPECT_STREQ("crash", crash->GetName());
    EXPECT_STREQ("", crash->GetText());
    EXPECT_EQ(root.Get(), crash->GetParent());
    ASSERT_EQ(1u, crash->GetChildCount());
    CXMLNode* key = crash->GetChild(0).Get();
    EXPECT_STREQ("key", key->GetName());
    EXPECT_STREQ("abc", key->GetText());
    EXPECT_EQ(crash, key->GetParent());
    EXPECT_EQ(0u, key->GetChildCount());
}

TEST(XMLNode, TextOfAnElementJoinsEveryPieceAroundItsChildren)
{
    struct Case
    {
        const char* document;
        const char* text;
        const char* children;
    } cases[] = {
        {"<a>one<b/>two</a>", "onetwo", "b;"},
        {"<a>one<b>inner</b>two<c/>three</a>", "onetwothree", "b;c;"},
        // Indentation and the spaces round a value stay; CR LF arrives as LF.
        {"<paths>\r\n  <entry> value \n</entry>\r\n  <entry/>\r\n</paths>", "\n  \n  \n", "entry;entry;"},
        {"<a>x<![CDATA[<b>&amp;</b>]]>y&#65;&lt;&#x42;&amp;</a>", "x<b>&amp;</b>yA<B&", ""},
        {"<!DOCTYPE a [<!ENTITY e \"ent\">]><a>&e;-&e;</a>", "ent-ent", ""},
        // Comments and processing instructions leave nothing behind.
        {"<?pi before?><!--c--><a>t<!-- inside --><?pi x?>u</a><!--after-->", "tu", ""},
        {"<x:a xmlns:x='urn:x'><x:b/></x:a>", "", "x:b;"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    {
        SCOPED_TRACE(cases[i].document);
        CNodePtr root = Load(cases[i].document);
        ASSERT_FALSE(root.IsNull());
        ASSERT_EQ(1u, root->GetChildCount());
        CXMLNode* top = root->GetChild(0).Get();
        EXPECT_EQ(cases[i].text, Text(top));
        EXPECT_EQ(cases[i].children, ChildNames(top));
    }

    CNodePtr root = Load("<paths>\n  <entry> value \n</entry>\n</paths>");
    EXPECT_EQ(" value \n", Text(root->GetChild(0)->GetChild(0).Get()));
}

TEST(XMLNode, AttributesAreFoundInAnyCaseAndKeepTheirFirstSpelling)
{
    CNodePtr root = Load("<e Name='first' name=\"second\" empty='' x:y='z' spaced=' a  b '/>");
    ASSERT_FALSE(root.IsNull());
    const CXMLNode::CAttributeMap& attributes = root->GetChild(0)->GetAttributes();
    EXPECT_EQ(4, attributes.GetCount());

    const CXMLNode::CAttributeMap::CAssoc* name = attributes.Lookup(CSmallString("NAME"));
    ASSERT_TRUE(name != NULL);
    EXPECT_STREQ("Name", name->key);
    EXPECT_STREQ("second", name->value);

    const CXMLNode::CAttributeMap::CAssoc* empty = attributes.Lookup(CSmallString("empty"));
    ASSERT_TRUE(empty != NULL);
    EXPECT_EQ(0, empty->value.GetLength());

    ASSERT_TRUE(attributes.Lookup(CSmallString("x:y")) != NULL);
    EXPECT_STREQ(" a  b ", attributes.Lookup(CSmallString("spaced"))->value);
    EXPECT_TRUE(attributes.Lookup(CSmallString("missing")) == NULL);
}

TEST(XMLNode, BuiltByHand)
{
    CNodePtr root(new CXMLNode());
    CXMLNode* a = root->AddChild("a");
    CXMLNode* b = root->AddChild("b");
    EXPECT_EQ(1, a->GetRefCount());
    EXPECT_EQ(root.Get(), a->GetParent());
    EXPECT_EQ("a;b;", ChildNames(root.Get()));

    a->SetAttribute("Type", "1");
    a->SetAttribute("TYPE", "2");
    a->SetAttribute("other", NULL);
    EXPECT_EQ(2, a->GetAttributes().GetCount());
    EXPECT_STREQ("Type", a->GetAttributes().Lookup(CSmallString("type"))->key);
    EXPECT_STREQ("2", a->GetAttributes().Lookup(CSmallString("type"))->value);
    EXPECT_STREQ("", a->GetAttributes().Lookup(CSmallString("OTHER"))->value);

    b->AppendText("x\0y", 3);
    b->AppendText("z", 1);
    b->AppendText("ignored", 0);
    EXPECT_EQ(std::string("x\0yz", 4), Text(b));
}

TEST(XMLNode, FindChildIsCaseSensitiveAndTakesTheFirst)
{
    CNodePtr root = Load("<r><Crash id='0'/><crash id='1'/><crash id='2'><crash id='3'/></crash></r>");
    ASSERT_FALSE(root.IsNull());
    CXMLNode* r = root->FindChild("r");
    ASSERT_TRUE(r != NULL);

    CXMLNode* crash = r->FindChild("crash");
    ASSERT_TRUE(crash != NULL);
    EXPECT_STREQ("1", crash->GetAttributes().Lookup(CSmallString("id"))->value);
    EXPECT_STREQ("0", r->FindChild("Crash")->GetAttributes().Lookup(CSmallString("id"))->value);
    EXPECT_TRUE(r->FindChild("CRASH") == NULL);
    EXPECT_TRUE(r->FindChild("cras") == NULL);
    EXPECT_TRUE(r->FindChild("crash ") == NULL);
    EXPECT_TRUE(r->FindChild("") == NULL);
    // Only direct children are searched.
    EXPECT_TRUE(root->FindChild("crash") == NULL);
}

TEST(XMLNodeItr, WalksChildrenInDocumentOrder)
{
    CNodePtr root = Load("<r><a/>text<b/><c><inner/></c></r>");
    ASSERT_FALSE(root.IsNull());
    EXPECT_EQ("a;b;c;", ChildNames(root->GetChild(0).Get()));

    CXMLNodeItr itr(root->GetChild(0).Get());
    itr.Next();
    itr.Next();
    itr.Next();
    EXPECT_FALSE(itr.IsValid());
    EXPECT_TRUE(itr.Current() == NULL);
}

TEST(XMLNodeItr, NodeWithoutChildrenAndNullAreNeverValid)
{
    CNodePtr root = Load("<leaf>text</leaf>");
    ASSERT_FALSE(root.IsNull());
    CXMLNodeItr leaf(root->GetChild(0).Get());
    EXPECT_FALSE(leaf.IsValid());
    EXPECT_TRUE(leaf.Current() == NULL);

    CXMLNodeItr none(NULL);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_FALSE(none.IsValid());
        EXPECT_TRUE(none.Current() == NULL);
        none.Next();
    }
}

TEST(XMLNode, ReleaseDestroysChildrenFirstInIndexOrder)
{
    CNodePtr root = Load("<top><a><a1/><a2><a21/></a2></a><b/></top>");
    ASSERT_FALSE(root.IsNull());
    CXMLNode* top = root->GetChild(0).Get();
    CXMLNode* a = top->GetChild(0).Get();
    CXMLNode* a1 = a->GetChild(0).Get();
    CXMLNode* a2 = a->GetChild(1).Get();
    CXMLNode* a21 = a2->GetChild(0).Get();
    CXMLNode* b = top->GetChild(1).Get();
    std::vector<const void*> nodes = {root.Get(), top, a, a1, a2, a21, b};

    CFreeRecorder recorder;
    root.Reset();
    std::vector<const void*> expected = {a1, a21, a2, a, b, top, nodes[0]};
    EXPECT_EQ(expected, recorder.FreedAmong(nodes));
}

TEST(XMLNodeItr, KeepsItsNodeAndSubtreeAliveAfterTheDocumentIsReleased)
{
    CNodePtr root = Load("<top><a/><inner name='kept'><x>1</x><y>2</y></inner><b/></top>");
    ASSERT_FALSE(root.IsNull());
    CXMLNode* top = root->GetChild(0).Get();
    CXMLNode* a = top->GetChild(0).Get();
    CXMLNode* inner = top->GetChild(1).Get();
    CXMLNode* x = inner->GetChild(0).Get();
    CXMLNode* y = inner->GetChild(1).Get();
    CXMLNode* b = top->GetChild(2).Get();
    std::vector<const void*> nodes = {root.Get(), top, a, inner, x, y, b};
    CXMLNodeItr* itr = new CXMLNodeItr(inner);
    EXPECT_EQ(2, inner->GetRefCount());
    {
        CFreeRecorder recorder;
        root.Reset();
        std::vector<const void*> outer = {a, b, top, nodes[0]};
        EXPECT_EQ(outer, recorder.FreedAmong(nodes));
    }

    EXPECT_EQ(1, inner->GetRefCount());
    EXPECT_STREQ("kept", inner->GetAttributes().Lookup(CSmallString("name"))->value);
    std::string walked;
    for (; itr->IsValid(); itr->Next())
        walked += std::string(itr->Current()->GetName()) + "=" + Text(itr->Current()) + ";";
    EXPECT_EQ("x=1;y=2;", walked);
    EXPECT_EQ(inner, x->GetParent());

    CFreeRecorder recorder;
    delete itr;
    std::vector<const void*> rest = {x, y, inner};
    EXPECT_EQ(rest, recorder.FreedAmong(nodes));
}
