#include <gtest/gtest.h>

#include "afx/ole/safearray.h"
#include "afx/ole/variant.h"

namespace {

TEST(SafeArray, AByteVectorHasItsBoundsAndElements)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(SafeArrayGetDim(array), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(array), 1u);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    LONG lower = -1, upper = -1;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &lower), DISP_E_BADINDEX);

    for (LONG i = 0; i < 4; ++i) {
        BYTE value = static_cast<BYTE>(0xA0 + i);
        EXPECT_EQ(SafeArrayPutElement(array, &i, &value), S_OK);
    }
    for (LONG bad : {-1, 4, 1000000}) {
        BYTE value = 0;
        EXPECT_EQ(SafeArrayPutElement(array, &bad, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(array, &bad, &value), DISP_E_BADINDEX);
    }
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    const BYTE* bytes = static_cast<const BYTE*>(data);
    EXPECT_EQ(bytes[0], 0xA0);
    EXPECT_EQ(bytes[3], 0xA3);
    // While accessed it cannot be destroyed.
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);

    SAFEARRAY* copy = nullptr;
    ASSERT_EQ(SafeArrayCopy(array, &copy), S_OK);
    LONG at = 2;
    BYTE value = 0;
    EXPECT_EQ(SafeArrayGetElement(copy, &at, &value), S_OK);
    EXPECT_EQ(value, 0xA2);
    EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, AnEmptyVectorHasAnUpperBoundBelowItsLowerBound)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 0);
    ASSERT_NE(array, nullptr);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(array, &data), S_OK);
    SafeArrayUnaccessData(array);
    SafeArrayDestroy(array);
}

TEST(SafeArray, OtherBoundsAreHonouredAndOtherKindsRefused)
{
    SAFEARRAYBOUND bound{3, 10};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    ASSERT_NE(array, nullptr);
    LONG first = 10, past = 13;
    BYTE value = 5;
    EXPECT_EQ(SafeArrayPutElement(array, &first, &value), S_OK);
    EXPECT_EQ(SafeArrayPutElement(array, &past, &value), DISP_E_BADINDEX);
    SafeArrayDestroy(array);

    EXPECT_EQ(SafeArrayCreate(VT_I4, 1, &bound), nullptr);
    SAFEARRAYBOUND two[2] = {{2, 0}, {2, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, two), nullptr);
}

} // namespace
