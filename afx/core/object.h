// CObject and the run-time class records: names, schemas, dynamic creation
// and the registry that lets an archive create objects by class name.
#pragma once

#include "afx/win32/types.h"

class CObject;
class CArchive;
class CDumpContext;

// Marks a class as able to read every stored schema; the reader then finds
// the stored one in CArchive::GetObjectSchema.
#define VERSIONABLE_SCHEMA (0x80000000)

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema; // schema number of the loaded class; 0xFFFF when not serialisable
    CObject* (*m_pfnCreateObject)(); // null for an abstract class
    CRuntimeClass* (*m_pfnGetBaseClass)();
    CRuntimeClass* m_pNextClass; // link in a module's list of registered classes

    CObject* CreateObject();
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    // Writes the class as it appears after a new-class tag: schema, name
    // length, name.
    void Store(CArchive& ar) const;
    // Reads that form and finds the class among the registered ones. Returns
    // null (and the stored schema) when no class has the name.
    static CRuntimeClass* Load(CArchive& ar, UINT* pwSchemaNum);
    // The registered class of that name, searched in the application's list
    // first and then in every linked extension library; null when none.
    static CRuntimeClass* FromName(LPCSTR lpszClassName);
};

// Adds a class to the current module state's list at load time.
void AfxClassInit(CRuntimeClass* pNewClass);

// Load-time order inside one shared object: an extension library's raw entry
// runs first and sets the class list aside, then the classes register, then
// its entry point hands the collected classes to AfxInitExtensionModule.
#define AFX_RAW_ENTRY_PRIORITY 101
#define AFX_CLASSINIT_PRIORITY 102
#define AFX_DLL_ENTRY_PRIORITY 103
// For a module's own static objects that must exist before its entry point
// runs and go only after its exit has run.
#define AFX_MODULE_STATIC __attribute__((init_priority(AFX_CLASSINIT_PRIORITY)))

struct AFX_CLASSINIT {
    explicit AFX_CLASSINIT(CRuntimeClass* pNewClass) { AfxClassInit(pNewClass); }
};

class CObject {
public:
    virtual CRuntimeClass* GetRuntimeClass() const;
    virtual ~CObject() = default;
    virtual void Serialize(CArchive& ar);
    virtual void AssertValid() const;
    virtual void Dump(CDumpContext& dc) const;

    BOOL IsSerializable() const;
    BOOL IsKindOf(const CRuntimeClass* pClass) const;

    static CRuntimeClass classCObject;

protected:
    CObject() = default;
    static CRuntimeClass* _GetBaseClass();

private:
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
};

// Stand-in for the diagnostic dump context; dumps go nowhere.
class CDumpContext {
public:
    template <class T>
    CDumpContext& operator<<(const T&) { return *this; }
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name) \
protected: \
    static CRuntimeClass* _GetBaseClass(); \
\
public: \
    static CRuntimeClass class##class_name; \
    virtual CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name) \
    static CObject* CreateObject();

// Loading a pointer of the class from an archive checks the stored class.
#define DECLARE_SERIAL(class_name) \
    DECLARE_DYNCREATE(class_name) \
    friend CArchive& operator>>(CArchive& ar, class_name*& pOb) \
    { \
        pOb = static_cast<class_name*>(AfxReadObjectOf(ar, RUNTIME_CLASS(class_name))); \
        return ar; \
    }

#define IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, pfnNew) \
    CRuntimeClass* class_name::_GetBaseClass() { return RUNTIME_CLASS(base_class_name); } \
    CRuntimeClass class_name::class##class_name = { \
        #class_name, sizeof(class class_name), wSchema, pfnNew, &class_name::_GetBaseClass, nullptr}; \
    CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name) \
    CObject* class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, 0xFFFF, &class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_class_name, wSchema) \
    CObject* class_name::CreateObject() { return new class_name; } \
    IMPLEMENT_RUNTIMECLASS(class_name, base_class_name, wSchema, &class_name::CreateObject) \
    static const AFX_CLASSINIT _init_##class_name __attribute__((init_priority(AFX_CLASSINIT_PRIORITY)))( \
        RUNTIME_CLASS(class_name));

// The checked cast of a CObject pointer: null when the object is not of the class.
CObject* AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject);
#define DYNAMIC_DOWNCAST(class_name, object) \
    (static_cast<class_name*>(AfxDynamicDownCast(RUNTIME_CLASS(class_name), object)))
#define STATIC_DOWNCAST(class_name, object) (static_cast<class_name*>(object))

// Reads an object reference and checks that it is of pClass (see CArchive::ReadObject).
CObject* AfxReadObjectOf(CArchive& ar, const CRuntimeClass* pClass);
