// IDispatch: the automation interface that objects passed in variants
// (VT_DISPATCH) derive from. Objects here are reached through their own
// interfaces only; late binding by name is not offered, so IDispatch adds
// no members to IUnknown.
#pragma once

#include "afx/ole/unknown.h"

extern const IID IID_IDispatch;

struct IDispatch : public IUnknown {
protected:
    ~IDispatch() = default;
};
