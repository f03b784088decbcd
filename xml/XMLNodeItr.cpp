#include "xml/XMLNodeItr.h"

namespace TQXML
{
    CXMLNodeItr::CXMLNodeItr(CXMLNode* node)
        : m_node(node), m_index(0)
    {
    }

    CXMLNodeItr::~CXMLNodeItr()
    {
        m_node.Reset();
    }

    bool CXMLNodeItr::IsValid() const
    {
        return !m_node.IsNull() && static_cast<unsigned int>(m_index) < m_node->GetChildCount();
    }

    CXMLNode* CXMLNodeItr::Current() const
    {
        if (!IsValid())
            return 0;
        return m_node->GetChild(static_cast<unsigned int>(m_index)).Get();
    }

    void CXMLNodeItr::Next()
    {
        ++m_index;
    }
}
