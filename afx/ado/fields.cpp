#include <climits>
#include <cstring>

#include "afx/ado/ado_objects.h"
#include "afx/win32/codepage.h"

namespace adoimpl {

namespace {

bool Contains(const std::string& text, const char* word)
{
    std::string upper;
    for (char c : text)
        upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return upper.find(word) != std::string::npos;
}

} // namespace

std::string Utf8FromBstr(const _bstr_t& text)
{
    return AfxWideToMultiByte(text.view(), CP_UTF8);
}

_variant_t VariantFromSql(const SqlValue& value)
{
    if (const long long* i = std::get_if<long long>(&value)) {
        if (*i >= INT32_MIN && *i <= INT32_MAX)
            return _variant_t(static_cast<int>(*i));
        return _variant_t(*i);
    }
    if (const double* d = std::get_if<double>(&value))
        return _variant_t(*d);
    if (const std::string* text = std::get_if<std::string>(&value))
        return _variant_t(_bstr_t(std::u16string_view(AfxMultiByteToWide(*text, CP_UTF8))));
    if (const SqlBlob* blob = std::get_if<SqlBlob>(&value))
        return AfxByteArrayVariant(blob->data(), blob->size());
    _variant_t null;
    null.vt = VT_NULL;
    return null;
}

SqlValue SqlFromVariant(const VARIANT& value)
{
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return SqlNull{};
    case VT_I2:
        return static_cast<long long>(value.iVal);
    case VT_I4:
        return static_cast<long long>(value.lVal);
    case VT_I8:
        return static_cast<long long>(value.llVal);
    case VT_UI1:
        return static_cast<long long>(value.bVal);
    case VT_BOOL:
        return static_cast<long long>(value.boolVal ? -1 : 0);
    case VT_R8:
        return value.dblVal;
    case VT_BSTR:
        return AfxWideToMultiByte(
            std::u16string_view(value.bstrVal ? value.bstrVal : u"", SysStringLen(value.bstrVal)), CP_UTF8);
    case VT_ARRAY | VT_UI1: {
        SAFEARRAY* array = value.parray;
        if (!array)
            return SqlBlob();
        if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1)
            AdoFail(adErrDataConversion);
        const BYTE* data = static_cast<const BYTE*>(array->pvData);
        return SqlBlob(data, data + array->rgsabound[0].cElements);
    }
    default:
        AdoFail(adErrDataConversion);
    }
}

// FieldsObject

FieldsObject::FieldsObject(RecordsetObject* recordset, unsigned generation)
    : m_recordset(recordset), m_generation(generation)
{
}

long FieldsObject::GetCount()
{
    return Call([&] { return static_cast<long>(m_recordset->Shape(m_generation).columns.size()); });
}

FieldPtr FieldsObject::GetItem(const _variant_t& Index)
{
    return Call([&] {
        const TableShape& shape = m_recordset->Shape(m_generation);
        long long position = -1;
        switch (Index.vt) {
        case VT_I2:
            position = Index.iVal;
            break;
        case VT_I4:
            position = Index.lVal;
            break;
        case VT_I8:
            position = Index.llVal;
            break;
        case VT_UI1:
            position = Index.bVal;
            break;
        case VT_BSTR: {
            std::optional<int> column = shape.FindColumn(Utf8FromBstr(_bstr_t(Index.bstrVal, true)));
            if (!column)
                AdoFail(adErrItemNotFound);
            position = *column;
            break;
        }
        default:
            AdoFail(adErrInvalidArgument, "A field is found by its position or by its name.");
        }
        if (position < 0 || position >= static_cast<long long>(shape.columns.size()))
            AdoFail(adErrItemNotFound);
        return FieldPtr(new FieldObject(m_recordset, m_generation, static_cast<int>(position)), false);
    });
}

// FieldObject

FieldObject::FieldObject(RecordsetObject* recordset, unsigned generation, int column)
    : m_recordset(recordset), m_generation(generation), m_column(column)
{
}

_variant_t FieldObject::GetValue()
{
    return Call([&] { return m_recordset->ColumnValue(m_generation, m_column); });
}

void FieldObject::PutValue(const _variant_t& value)
{
    Call([&] { m_recordset->PutColumnValue(m_generation, m_column, value); });
}

long FieldObject::GetActualSize()
{
    return Call([&] { return m_recordset->ColumnActualSize(m_generation, m_column); });
}

_variant_t FieldObject::GetChunk(long Length)
{
    return Call([&] { return m_recordset->ColumnChunk(m_generation, m_column, Length); });
}

HRESULT FieldObject::AppendChunk(const _variant_t& Data)
{
    return Call([&] {
        m_recordset->AppendColumnChunk(m_generation, m_column, Data);
        return S_OK;
    });
}

_bstr_t FieldObject::GetName()
{
    return Call([&] {
        const TableShape& shape = m_recordset->Shape(m_generation);
        return _bstr_t(std::u16string_view(
            AfxMultiByteToWide(shape.columns[static_cast<size_t>(m_column)].name, CP_UTF8)));
    });
}

DataTypeEnum FieldObject::GetType()
{
    return Call([&] {
        // The column's affinity, by the engine's rules for declared types.
        const std::string& type = m_recordset->Shape(m_generation).columns[static_cast<size_t>(m_column)].declaredType;
        if (Contains(type, "INT"))
            return adInteger;
        if (Contains(type, "CHAR") || Contains(type, "CLOB") || Contains(type, "TEXT"))
            return adLongVarWChar;
        if (type.empty() || Contains(type, "BLOB"))
            return adLongVarBinary;
        if (Contains(type, "REAL") || Contains(type, "FLOA") || Contains(type, "DOUB"))
            return adDouble;
        return adDouble;
    });
}

} // namespace adoimpl
