#ifndef XML_XMLNODEITR_H
#define XML_XMLNODEITR_H

#include "xml/XMLNode.h"

namespace TQXML
{
    // Walks the children of one node in document order:
    //
    //     for (CXMLNodeItr itr(node); itr.IsValid(); itr.Next())
    //         use(itr.Current());
    //
    // The iterator holds a reference on the node for its whole life, so the
    // node and its subtree outlive a release of the rest of the tree. The tree
    // must not change during the walk.
    class CXMLNodeItr
    {
    public:
        // The node may be null; such an iterator is never valid.
        explicit CXMLNodeItr(CXMLNode* node);
        virtual ~CXMLNodeItr();

        bool IsValid() const;
        // Null once the walk is past the last child.
        CXMLNode* Current() const;
        void Next();

    private:
        CXMLNodeItr(const CXMLNodeItr&);
        CXMLNodeItr& operator=(const CXMLNodeItr&);

        CRefCount::CPtr<CXMLNode> m_node;
        int m_index;
    };
}

#endif
