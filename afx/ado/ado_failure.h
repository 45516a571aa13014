// Framework-internal: how the ADO objects fail.
//
// Inside the objects a failure travels as an AdoFailure; where a call leaves
// an object it becomes the thread's error record and a _com_error, so every
// failure a caller sees carries a description.
#pragma once

#include <new>
#include <string>

#include "afx/ado/ado.h"

struct AdoFailure {
    HRESULT hr;
    std::string description; // UTF-8
};

// ADO's own error with its standard description.
[[noreturn]] void AdoFail(ErrorValueEnum error);
[[noreturn]] void AdoFail(ErrorValueEnum error, std::string description);
[[noreturn]] void AdoFail(HRESULT hr, std::string description);

// Leaves the error record for the failure and raises it as self's failure
// of interface riid.
[[noreturn]] void AdoRaise(IUnknown* self, REFIID riid, const AdoFailure& failure);

// Runs body, turning the failures it raises into _com_error.
template <class Body>
auto AdoCall(IUnknown* self, REFIID riid, Body&& body) -> decltype(body())
{
    try {
        return body();
    } catch (const AdoFailure& failure) {
        AdoRaise(self, riid, failure);
    } catch (const std::bad_alloc&) {
        AdoRaise(self, riid, AdoFailure{E_OUTOFMEMORY, "Not enough memory to complete the operation."});
    }
}

// Sends an event to the trace receiver, if one is installed.
void AdoTrace(const char* event);
bool AdoTracing() noexcept;
