#ifndef XML_XMLNODE_H
#define XML_XMLNODE_H

#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/RefCount.h"
#include "foundation/SmallString.h"

namespace TQXML
{
    // One element of a loaded document: its name, the character data directly
    // inside it (joined, untrimmed, white space between children included), its
    // attributes and its child elements in document order. The nameless
    // document node sits above the top-level element.
    //
    // A tree is owned from the top down: each children array holds one
    // reference on each child, and the parent pointer holds none. Releasing the
    // document node releases the whole tree; a node that someone else still
    // holds survives with its subtree, but its parent pointer must not be
    // followed then. Releasing never recurses, however deep the tree.
    class CXMLNode : public CRefCount
    {
    public:
        typedef Container::CMap<CSmallString, CSmallString> CAttributeMap;

        // The document node: no name, no parent.
        CXMLNode();
        // An element node; only AddChild makes these. The name is copied.
        CXMLNode(const char* name, CXMLNode* parent);
        virtual ~CXMLNode();

        // Appends a new element to the children. The pointer stays valid while
        // the child remains among this node's children.
        CXMLNode* AddChild(const char* name);

        // A name already present in any letter case keeps its first spelling
        // and takes the new value.
        void SetAttribute(const char* name, const char* value);

        // The first child whose name equals name byte for byte, or null.
        CXMLNode* FindChild(const char* name) const;

        // Appends exactly length bytes, whatever their values.
        void AppendText(const char* bytes, int length);

        const CSmallString& GetName() const { return m_name; }
        const CSmallString& GetText() const { return m_text; }
        // Read an attribute with Lookup(CSmallString(name)); null means absent.
        const CAttributeMap& GetAttributes() const { return m_attributes; }
        unsigned int GetChildCount() const { return m_children.GetSize(); }
        // The index must be below GetChildCount().
        const CRefCount::CPtr<CXMLNode>& GetChild(unsigned int index) const { return m_children.GetData()[index]; }
        CXMLNode* GetParent() const { return m_parent; }

    private:
        CXMLNode(const CXMLNode&);
        CXMLNode& operator=(const CXMLNode&);

        void ReleaseChildren();

        CSmallString m_text;
        CSmallString m_name;
        Container::CArray<CRefCount::CPtr<CXMLNode> > m_children;
        CAttributeMap m_attributes;
        CXMLNode* m_parent;
    };
}

#endif
