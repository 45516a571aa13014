#include <gtest/gtest.h>

#include <string>

#include "afx/ole/com_error.h"
#include "afx/ole/variant.h"

namespace {

// Counts its references.
class Counted final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    ULONG refs = 1;
};

_variant_t ByteArray(std::initializer_list<BYTE> bytes)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    LONG i = 0;
    for (BYTE b : bytes) {
        BYTE value = b;
        SafeArrayPutElement(array, &i, &value);
        ++i;
    }
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;
    v.parray = array;
    _variant_t result;
    result.Attach(v);
    return result;
}

TEST(Variant, ConstructorsGiveTheKindTheirArgumentStandsFor)
{
    EXPECT_EQ(_variant_t().vt, VT_EMPTY);
    EXPECT_EQ(_variant_t(7).vt, VT_I4);
    EXPECT_EQ(_variant_t(7L).vt, VT_I4);
    EXPECT_EQ(_variant_t(7L).lVal, 7);
    EXPECT_EQ(_variant_t(short(7)).vt, VT_I2);
    EXPECT_EQ(_variant_t(BYTE(7)).vt, VT_UI1);
    EXPECT_EQ(_variant_t(true).vt, VT_BOOL);
    EXPECT_EQ(_variant_t(true).boolVal, VARIANT_TRUE);
    EXPECT_EQ(_variant_t(2.5).vt, VT_R8);
    _variant_t text("t\u00E9xt");
    ASSERT_EQ(text.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(text.bstrVal, SysStringLen(text.bstrVal)), u"t\u00E9xt");
    // A long beyond 32 bits keeps its value.
    _variant_t wide(0x123456789L);
    EXPECT_EQ(wide.vt, VT_I8);
    EXPECT_EQ(wide.llVal, 0x123456789L);
    EXPECT_EQ(_variant_t(-5L).lVal, -5);
    // A null string is held as an empty one.
    _variant_t empty(_bstr_t{});
    ASSERT_EQ(empty.vt, VT_BSTR);
    EXPECT_NE(empty.bstrVal, nullptr);
}

TEST(Variant, MissingIsAnErrorValueOfParamNotFound)
{
    EXPECT_EQ(vtMissing.vt, VT_ERROR);
    EXPECT_EQ(vtMissing.scode, DISP_E_PARAMNOTFOUND);
}

TEST(Variant, CopiesDuplicateStringsAndArraysAndReferenceObjects)
{
    _variant_t text("original");
    _variant_t textCopy = text;
    EXPECT_NE(textCopy.bstrVal, text.bstrVal);
    EXPECT_TRUE(textCopy == text);

    _variant_t bytes = ByteArray({1, 2, 3});
    _variant_t bytesCopy(bytes);
    EXPECT_NE(bytesCopy.parray, bytes.parray);
    EXPECT_TRUE(bytesCopy == bytes);
    static_cast<BYTE*>(bytesCopy.parray->pvData)[0] = 9;
    EXPECT_FALSE(bytesCopy == bytes);

    Counted object;
    {
        _variant_t held(static_cast<IDispatch*>(&object));
        EXPECT_EQ(object.refs, 2u);
        _variant_t second = held;
        EXPECT_EQ(object.refs, 3u);
        IDispatch* taken = held;
        EXPECT_EQ(taken, &object);
        taken->Release();
    }
    EXPECT_EQ(object.refs, 1u);
    {
        _variant_t adopted(static_cast<IDispatch*>(&object), false);
        object.AddRef(); // the reference the variant adopted
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, ClearRefusesToFreeAnArrayThatIsBeingAccessed)
{
    _variant_t bytes = ByteArray({1});
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(bytes.parray, &data), S_OK);
    EXPECT_EQ(VariantClear(&bytes), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(bytes.vt, VT_ARRAY | VT_UI1);
    SafeArrayUnaccessData(bytes.parray);
    EXPECT_EQ(VariantClear(&bytes), S_OK);
    EXPECT_EQ(bytes.vt, VT_EMPTY);
}

struct ConversionCase {
    const char* label;
    _variant_t from;
    VARTYPE to;
    HRESULT result;
    _variant_t expected;
};

class VariantConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(VariantConversion, GivesTheValueOrTheReasonItCannot)
{
    const ConversionCase& c = GetParam();
    VARIANT out;
    VariantInit(&out);
    EXPECT_EQ(VariantChangeType(&out, &c.from, 0, c.to), c.result);
    if (SUCCEEDED(c.result)) {
        EXPECT_TRUE(c.expected == out);
    }
    VariantClear(&out);
}

_variant_t Null()
{
    _variant_t v;
    v.vt = VT_NULL;
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VariantConversion,
    ::testing::Values(ConversionCase{"i2 to i4", _variant_t(short(-3)), VT_I4, S_OK, _variant_t(-3)},
                      ConversionCase{"i8 to i4", _variant_t(0x7FFFFFFFLL), VT_I4, S_OK, _variant_t(0x7FFFFFFF)},
                      ConversionCase{"i8 too big", _variant_t(0x80000000LL), VT_I4, DISP_E_OVERFLOW, _variant_t()},
                      ConversionCase{"i4 too big for i2", _variant_t(40000), VT_I2, DISP_E_OVERFLOW, _variant_t()},
                      ConversionCase{"text to i4", _variant_t(" 42 "), VT_I4, S_OK, _variant_t(42)},
                      ConversionCase{"not a number", _variant_t("4x"), VT_I4, DISP_E_TYPEMISMATCH, _variant_t()},
                      ConversionCase{"i4 to text", _variant_t(-17), VT_BSTR, S_OK, _variant_t("-17")},
                      ConversionCase{"bool to text", _variant_t(true), VT_BSTR, S_OK, _variant_t("True")},
                      ConversionCase{"double rounds to even", _variant_t(2.5), VT_I4, S_OK, _variant_t(2)},
                      ConversionCase{"null", Null(), VT_I4, DISP_E_TYPEMISMATCH, _variant_t()},
                      ConversionCase{"array", ByteArray({1}), VT_I4, DISP_E_TYPEMISMATCH, _variant_t()},
                      ConversionCase{"empty to i4", _variant_t(), VT_I4, S_OK, _variant_t(0)},
                      ConversionCase{"negative to byte", _variant_t(-1), VT_UI1, DISP_E_OVERFLOW, _variant_t()}));

TEST(Variant, ConversionOperatorsRaiseWhatTheyCannotConvert)
{
    EXPECT_EQ(static_cast<long>(_variant_t(short(12))), 12);
    EXPECT_EQ(std::string(static_cast<const char*>(static_cast<_bstr_t>(_variant_t(5)))), "5");
    try {
        (void)static_cast<long>(Null());
        ADD_FAILURE() << "null converted";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_TYPEMISMATCH);
    }
    _variant_t v(7);
    v.ChangeType(VT_BSTR);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_THROW(v.ChangeType(VT_DISPATCH), _com_error);
}

} // namespace

namespace {

TEST(ByteArrayVariant, HoldsACopyOfTheBytesWithLowerBoundZero)
{
    for (std::vector<BYTE> bytes : {std::vector<BYTE>{}, std::vector<BYTE>{7}, std::vector<BYTE>(70000, 0xA5)}) {
        _variant_t v = AfxByteArrayVariant(bytes.data(), bytes.size());
        ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
        LONG lower = -1, upper = -2;
        ASSERT_EQ(SafeArrayGetLBound(v.parray, 1, &lower), S_OK);
        ASSERT_EQ(SafeArrayGetUBound(v.parray, 1, &upper), S_OK);
        EXPECT_EQ(lower, 0);
        EXPECT_EQ(upper, static_cast<LONG>(bytes.size()) - 1);
        if (!bytes.empty()) {
            bytes[0] ^= 0xFF; // a copy: changing the source leaves the value alone
            void* data = nullptr;
            SafeArrayAccessData(v.parray, &data);
            EXPECT_EQ(static_cast<BYTE*>(data)[0], static_cast<BYTE>(bytes[0] ^ 0xFF));
            SafeArrayUnaccessData(v.parray);
        }
    }
}

} // namespace
