// Doubly linked lists walked with POSITION values: CPtrList, CObList,
// CTypedPtrList over either, and the value list CList.
#pragma once

#include <utility>

#include "afx/core/object.h"

struct __POSITION {};
typedef __POSITION* POSITION;

// The list engine shared by every list class: a doubly linked list of
// nodes that each hold one value of type T.
template <class T>
class CListCore {
protected:
    struct CNode {
        CNode* pNext;
        CNode* pPrev;
        T data;
    };

    CNode* m_pNodeHead = nullptr;
    CNode* m_pNodeTail = nullptr;
    INT_PTR m_nCount = 0;

    static CNode* Node(POSITION pos) { return reinterpret_cast<CNode*>(pos); }
    static POSITION Pos(CNode* node) { return reinterpret_cast<POSITION>(node); }

    CNode* Link(CNode* pPrev, CNode* pNext, T value)
    {
        CNode* node = new CNode{pNext, pPrev, std::move(value)};
        (pPrev ? pPrev->pNext : m_pNodeHead) = node;
        (pNext ? pNext->pPrev : m_pNodeTail) = node;
        ++m_nCount;
        return node;
    }

    T Unlink(CNode* node)
    {
        (node->pPrev ? node->pPrev->pNext : m_pNodeHead) = node->pNext;
        (node->pNext ? node->pNext->pPrev : m_pNodeTail) = node->pPrev;
        --m_nCount;
        T value = std::move(node->data);
        delete node;
        return value;
    }

public:
    CListCore() = default;
    CListCore(const CListCore&) = delete;
    CListCore& operator=(const CListCore&) = delete;
    ~CListCore() { RemoveAll(); }

    INT_PTR GetCount() const { return m_nCount; }
    INT_PTR GetSize() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    POSITION GetHeadPosition() const { return Pos(m_pNodeHead); }
    POSITION GetTailPosition() const { return Pos(m_pNodeTail); }

    T& GetHead() { return m_pNodeHead->data; }
    const T& GetHead() const { return m_pNodeHead->data; }
    T& GetTail() { return m_pNodeTail->data; }
    const T& GetTail() const { return m_pNodeTail->data; }

    T& GetNext(POSITION& rPosition)
    {
        CNode* node = Node(rPosition);
        rPosition = Pos(node->pNext);
        return node->data;
    }
    const T& GetNext(POSITION& rPosition) const
    {
        CNode* node = Node(rPosition);
        rPosition = Pos(node->pNext);
        return node->data;
    }
    T& GetPrev(POSITION& rPosition)
    {
        CNode* node = Node(rPosition);
        rPosition = Pos(node->pPrev);
        return node->data;
    }
    const T& GetPrev(POSITION& rPosition) const
    {
        CNode* node = Node(rPosition);
        rPosition = Pos(node->pPrev);
        return node->data;
    }
    T& GetAt(POSITION position) { return Node(position)->data; }
    const T& GetAt(POSITION position) const { return Node(position)->data; }
    void SetAt(POSITION pos, T newElement) { Node(pos)->data = std::move(newElement); }

    POSITION AddHead(T newElement) { return Pos(Link(nullptr, m_pNodeHead, std::move(newElement))); }
    POSITION AddTail(T newElement) { return Pos(Link(m_pNodeTail, nullptr, std::move(newElement))); }
    POSITION InsertBefore(POSITION position, T newElement)
    {
        if (!position)
            return AddHead(std::move(newElement));
        CNode* next = Node(position);
        return Pos(Link(next->pPrev, next, std::move(newElement)));
    }
    POSITION InsertAfter(POSITION position, T newElement)
    {
        if (!position)
            return AddTail(std::move(newElement));
        CNode* prev = Node(position);
        return Pos(Link(prev, prev->pNext, std::move(newElement)));
    }

    T RemoveHead() { return Unlink(m_pNodeHead); }
    T RemoveTail() { return Unlink(m_pNodeTail); }
    void RemoveAt(POSITION position) { Unlink(Node(position)); }
    void RemoveAll()
    {
        while (m_pNodeHead)
            Unlink(m_pNodeHead);
    }

    // The position of the first element equal to searchValue after
    // startAfter (from the head when null); null when there is none.
    POSITION Find(const T& searchValue, POSITION startAfter = nullptr) const
    {
        CNode* node = startAfter ? Node(startAfter)->pNext : m_pNodeHead;
        for (; node; node = node->pNext) {
            if (node->data == searchValue)
                return Pos(node);
        }
        return nullptr;
    }
    POSITION FindIndex(INT_PTR nIndex) const
    {
        if (nIndex < 0 || nIndex >= m_nCount)
            return nullptr;
        CNode* node = m_pNodeHead;
        while (nIndex--)
            node = node->pNext;
        return Pos(node);
    }
};

class CPtrList : public CObject, public CListCore<void*> {
    DECLARE_DYNAMIC(CPtrList)
public:
    explicit CPtrList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
};

class CObList : public CObject, public CListCore<CObject*> {
    DECLARE_SERIAL(CObList)
public:
    explicit CObList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
    // The count, then each element as an object reference.
    void Serialize(CArchive& ar) override;
};

// A list of TYPE pointers stored in a CObList or CPtrList.
template <class BASE_CLASS, class TYPE>
class CTypedPtrList : public BASE_CLASS {
public:
    explicit CTypedPtrList(INT_PTR nBlockSize = 10) : BASE_CLASS(nBlockSize) {}

    // Elements come back by value: a TYPE& into a CObject* slot would read
    // one pointer type through another.
    TYPE GetHead() const { return static_cast<TYPE>(BASE_CLASS::GetHead()); }
    TYPE GetTail() const { return static_cast<TYPE>(BASE_CLASS::GetTail()); }
    TYPE RemoveHead() { return static_cast<TYPE>(BASE_CLASS::RemoveHead()); }
    TYPE RemoveTail() { return static_cast<TYPE>(BASE_CLASS::RemoveTail()); }
    TYPE GetNext(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetNext(rPosition)); }
    TYPE GetPrev(POSITION& rPosition) const { return static_cast<TYPE>(BASE_CLASS::GetPrev(rPosition)); }
    TYPE GetAt(POSITION position) const { return static_cast<TYPE>(BASE_CLASS::GetAt(position)); }
    void SetAt(POSITION pos, TYPE newElement) { BASE_CLASS::SetAt(pos, newElement); }
    POSITION AddHead(TYPE newElement) { return BASE_CLASS::AddHead(newElement); }
    POSITION AddTail(TYPE newElement) { return BASE_CLASS::AddTail(newElement); }
    POSITION InsertBefore(POSITION position, TYPE newElement) { return BASE_CLASS::InsertBefore(position, newElement); }
    POSITION InsertAfter(POSITION position, TYPE newElement) { return BASE_CLASS::InsertAfter(position, newElement); }
};

// A list of values; ARG_TYPE is how values are passed in.
template <class TYPE, class ARG_TYPE = const TYPE&>
class CList : public CObject, public CListCore<TYPE> {
public:
    explicit CList(INT_PTR nBlockSize = 10) { (void)nBlockSize; }
};
