// Smart interface pointers (_com_ptr_t) and the interface identifiers they
// look up with __uuidof.
//
// A pointer owns one reference to its object. Calling through a null
// pointer, and releasing one, raises _com_error(E_POINTER), so an operation
// on a missing object fails as a COM error rather than as a crash.
#pragma once

#include <cstddef>
#include <utility>

#include "afx/ole/com_create.h"
#include "afx/ole/com_error.h"
#include "afx/ole/unknown.h"
#include "afx/win32/codepage.h"

// The identifier of an interface or class, which its header declares with
// AFX_DECLARE_UUIDOF.
template <class T>
struct AfxUuidTraits;

#define AFX_DECLARE_UUIDOF(type, guid)                       \
    template <>                                              \
    struct AfxUuidTraits<type> {                             \
        static const GUID& uuid() noexcept { return guid; } \
    }

// The identifier of a type, as in __uuidof(Connection).
#define __uuidof(type) (::AfxUuidTraits<type>::uuid())

AFX_DECLARE_UUIDOF(IUnknown, IID_IUnknown);

template <class Interface>
class _com_ptr_t {
public:
    typedef Interface ThisInterface;

    _com_ptr_t() noexcept = default;
    _com_ptr_t(std::nullptr_t) noexcept {}
    // Takes a reference of its own unless fAddRef is false, when it takes
    // over the caller's.
    _com_ptr_t(Interface* p, bool fAddRef = true) noexcept : m_p(p)
    {
        if (m_p && fAddRef)
            m_p->AddRef();
    }
    _com_ptr_t(const _com_ptr_t& that) noexcept : _com_ptr_t(that.m_p) {}
    _com_ptr_t(_com_ptr_t&& that) noexcept : m_p(std::exchange(that.m_p, nullptr)) {}
    ~_com_ptr_t() { Reset(nullptr); }

    _com_ptr_t& operator=(const _com_ptr_t& that) noexcept
    {
        if (that.m_p)
            that.m_p->AddRef();
        Reset(that.m_p);
        return *this;
    }
    _com_ptr_t& operator=(_com_ptr_t&& that) noexcept
    {
        if (this != &that)
            Reset(std::exchange(that.m_p, nullptr));
        return *this;
    }
    _com_ptr_t& operator=(Interface* p) noexcept
    {
        if (p)
            p->AddRef();
        Reset(p);
        return *this;
    }
    _com_ptr_t& operator=(std::nullptr_t) noexcept
    {
        Reset(nullptr);
        return *this;
    }

    // Creates a new object of the class and holds it as Interface. The
    // previous object, if any, is released first. Returns the failure code
    // rather than raising it.
    HRESULT CreateInstance(REFCLSID rclsid, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        Reset(nullptr);
        Interface* p = nullptr;
        HRESULT hr =
            CoCreateInstance(rclsid, pOuter, dwClsContext, __uuidof(Interface), reinterpret_cast<void**>(&p));
        if (SUCCEEDED(hr))
            m_p = p;
        return hr;
    }
    // By program name ("ADODB.Recordset") or class string ("{...}").
    HRESULT CreateInstance(LPCSTR clsidString, IUnknown* pOuter = nullptr, DWORD dwClsContext = CLSCTX_ALL) noexcept
    {
        Reset(nullptr);
        if (!clsidString)
            return E_INVALIDARG;
        CLSID clsid;
        HRESULT hr;
        try {
            hr = CLSIDFromProgID(AfxMultiByteToWide(clsidString, CP_ACP).c_str(), &clsid);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        if (FAILED(hr))
            return hr;
        return CreateInstance(clsid, pOuter, dwClsContext);
    }

    // Asks the object for another interface.
    template <class Other>
    HRESULT QueryInterface(REFIID iid, Other*& p) const noexcept
    {
        p = nullptr;
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(iid, reinterpret_cast<void**>(&p));
    }

    Interface* operator->() const
    {
        if (!m_p)
            _com_issue_error(E_POINTER);
        return m_p;
    }
    Interface& operator*() const
    {
        if (!m_p)
            _com_issue_error(E_POINTER);
        return *m_p;
    }
    operator Interface*() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    bool operator!() const noexcept { return m_p == nullptr; }

    Interface* GetInterfacePtr() const noexcept { return m_p; }
    Interface*& GetInterfacePtr() noexcept { return m_p; }

    // Lets go of the object; raises E_POINTER when there is none.
    void Release()
    {
        if (!m_p)
            _com_issue_error(E_POINTER);
        Reset(nullptr);
    }
    void AddRef()
    {
        if (!m_p)
            _com_issue_error(E_POINTER);
        m_p->AddRef();
    }
    // Holds p with the caller's reference (fAddRef false) or a new one.
    void Attach(Interface* p, bool fAddRef = false) noexcept
    {
        if (p && fAddRef)
            p->AddRef();
        Reset(p);
    }
    // Hands the reference to the caller.
    Interface* Detach() noexcept { return std::exchange(m_p, nullptr); }

    bool operator==(const _com_ptr_t& that) const noexcept { return m_p == that.m_p; }
    bool operator!=(const _com_ptr_t& that) const noexcept { return m_p != that.m_p; }
    bool operator==(std::nullptr_t) const noexcept { return m_p == nullptr; }
    bool operator!=(std::nullptr_t) const noexcept { return m_p != nullptr; }

private:
    void Reset(Interface* p) noexcept
    {
        Interface* old = std::exchange(m_p, p);
        if (old)
            old->Release();
    }

    Interface* m_p = nullptr;
};

// Declares InterfacePtr, the smart pointer of an interface.
#define _COM_SMARTPTR_TYPEDEF(Interface) typedef _com_ptr_t<Interface> Interface##Ptr
