#include "xml/XMLNode.h"

#include <new>
#include <string.h>

namespace TQXML
{
    typedef Container::CArray<CRefCount::CPtr<CXMLNode> > CNodeList;

    namespace
    {
        // Moves the node's children, each with a reference of its own, onto
        // the end of pending, the first child last so that it is taken first.
        // False, with nothing moved, when pending cannot grow.
        bool TakeChildren(CNodeList& children, CNodeList& pending)
        {
            unsigned int count = children.GetSize();
            unsigned int base = pending.GetSize();
            try
            {
                pending.SetSize(base + count);
            }
            catch (const std::bad_alloc&)
            {
                return false;
            }
            for (unsigned int i = 0; i < count; ++i)
                pending.GetData()[base + count - 1 - i] = children.GetData()[i].Get();
            // Each child is now held by pending as well, so none dies here.
            children.RemoveAll();
            return true;
        }
    }

    CXMLNode::CXMLNode()
        : m_parent(0)
    {
    }

    CXMLNode::CXMLNode(const char* name, CXMLNode* parent)
        : m_name(name), m_parent(parent)
    {
    }

    CXMLNode::~CXMLNode()
    {
        ReleaseChildren();
        m_parent = 0;
    }

    // Releases the subtree depth first, children in index order and each node
    // after its own children, as a recursive release would, but from a list
    // of its own so that the depth of a document cannot exhaust the stack.
    void CXMLNode::ReleaseChildren()
    {
        if (m_children.GetSize() == 0)
        {
            m_children.RemoveAll();
            return;
        }
        CNodeList pending;
        if (!TakeChildren(m_children, pending))
        {
            m_children.RemoveAll();
            return;
        }
        while (pending.GetSize() != 0)
        {
            unsigned int top = pending.GetSize() - 1;
            CXMLNode* node = pending.GetData()[top].Get();
            // A count of 1 is pending's own reference: nobody else can reach
            // the node any more, so its children can be taken before it dies.
            // A node held elsewhere keeps its subtree and only loses a reference.
            if (node->GetRefCount() == 1 && node->m_children.GetSize() != 0
                && TakeChildren(node->m_children, pending))
                continue;
            pending.SetSize(top);
        }
    }

    CXMLNode* CXMLNode::AddChild(const char* name)
    {
        CRefCount::CPtr<CXMLNode> child(new CXMLNode(name, this));
        m_children.SetSize(m_children.GetSize() + 1);
        m_children.GetData()[m_children.GetSize() - 1] = child;
        return child.Get();
    }

    void CXMLNode::SetAttribute(const char* name, const char* value)
    {
        CSmallString key(name);
        CAttributeMap::CAssoc* assoc = m_attributes.Lookup(key);
        if (assoc == 0)
            assoc = m_attributes.Insert(key);
        assoc->value = value;
    }

    CXMLNode* CXMLNode::FindChild(const char* name) const
    {
        if (name == 0)
            return 0;
        for (unsigned int i = 0; i < m_children.GetSize(); ++i)
        {
            CXMLNode* child = m_children.GetData()[i].Get();
            if (strcmp(child->m_name, name) == 0)
                return child;
        }
        return 0;
    }

    void CXMLNode::AppendText(const char* bytes, int length)
    {
        m_text.AppendBytes(length, bytes);
    }
}
