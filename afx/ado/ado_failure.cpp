#include "afx/ado/ado_failure.h"

#include <atomic>

#include "afx/ado/ado_trace.h"
#include "afx/win32/codepage.h"

namespace {

const char* StandardDescription(ErrorValueEnum error)
{
    switch (error) {
    case adErrInvalidArgument:
        return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.";
    case adErrNoCurrentRecord:
        return "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
               "current record.";
    case adErrIllegalOperation:
        return "Operation is not allowed in this context.";
    case adErrFeatureNotAvailable:
        return "Object or provider is not capable of performing requested operation.";
    case adErrItemNotFound:
        return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
    case adErrDataConversion:
        return "Application uses a value of the wrong type for the current operation.";
    case adErrObjectClosed:
        return "Operation is not allowed when the object is closed.";
    case adErrObjectOpen:
        return "Operation is not allowed when the object is open.";
    case adErrProviderNotFound:
        return "Provider cannot be found. It may not be properly installed.";
    case adErrInvalidConnection:
        return "The connection cannot be used to perform this operation. It is either closed or invalid in this "
               "context.";
    }
    return "";
}

struct TraceReceiver {
    std::atomic<AfxAdoTraceProc> proc{nullptr};
    std::atomic<void*> context{nullptr};
};

TraceReceiver g_trace;

} // namespace

void AdoFail(ErrorValueEnum error)
{
    throw AdoFailure{AdoErrorToHResult(error), StandardDescription(error)};
}

void AdoFail(ErrorValueEnum error, std::string description)
{
    throw AdoFailure{AdoErrorToHResult(error), std::move(description)};
}

void AdoFail(HRESULT hr, std::string description)
{
    throw AdoFailure{hr, std::move(description)};
}

void AdoRaise(IUnknown* self, REFIID riid, const AdoFailure& failure)
{
    // A record left by an earlier failure must not travel with this one.
    SetErrorInfo(0, nullptr);
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create)) && create) {
        try {
            create->SetGUID(riid);
            create->SetSource(AfxMultiByteToWide(AFX_ADO_ERROR_SOURCE, CP_UTF8).c_str());
            create->SetDescription(AfxMultiByteToWide(failure.description, CP_UTF8).c_str());
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
                SetErrorInfo(0, info);
                info->Release();
            }
        } catch (const std::bad_alloc&) {
            // The error goes out without its record.
        }
        create->Release();
    }
    _com_issue_errorex(failure.hr, self, riid);
}

AfxAdoTraceProc AfxAdoSetTrace(AfxAdoTraceProc proc, void* pContext)
{
    g_trace.context.store(pContext);
    return g_trace.proc.exchange(proc);
}

bool AdoTracing() noexcept
{
    return g_trace.proc.load() != nullptr;
}

void AdoTrace(const char* event)
{
    AfxAdoTraceProc proc = g_trace.proc.load();
    if (proc)
        proc(event, g_trace.context.load());
}
