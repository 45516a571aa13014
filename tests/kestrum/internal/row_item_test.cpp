#include <gtest/gtest.h>

#include <memory>

#include "afx/ole/com_error.h"
#include "kestrum/shareddb/db_location.h"
#include "kestrum/shareddb/row_item.h"
#include "tests/support/resource_db.h"

namespace {

class RowItemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = std::make_unique<ResourceDb>("rows");
        recordset.CreateInstance(__uuidof(Recordset));
        recordset->Open(_variant_t("SELECT * FROM RESTABLE"),
                        _variant_t(_bstr_t(ConnectionText(CString(db->Path())).GetString())), adOpenDynamic,
                        adLockOptimistic, adCmdText);
    }
    void TearDown() override
    {
        recordset->Close();
        recordset = nullptr;
    }

    std::unique_ptr<CZELResItem> Read(DWORD id)
    {
        if (!FindRowOfID(recordset, id))
            return nullptr;
        return std::unique_ptr<CZELResItem>(ItemFromCurrentRow(recordset));
    }

    static HRESULT CodeOf(const std::function<void()>& f)
    {
        try {
            f();
        } catch (_com_error& e) {
            return e.Error();
        }
        return S_OK;
    }

    std::unique_ptr<ResourceDb> db;
    _RecordsetPtr recordset;
};

TEST_F(RowItemTest, RowsBecomeItemsWithAbsentValuesLeftEmpty)
{
    std::vector<unsigned char> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 11);
    struct {
        std::optional<std::string> name;
        int type;
        std::optional<std::string> keyword;
        std::optional<std::vector<unsigned char>> content;
    } rows[] = {
        {"Logo", 2, "brand blue", std::vector<unsigned char>{1, 2, 3}},
        {std::nullopt, 5, std::nullopt, std::nullopt},
        {"H\xC3\xA9llo \xE4\xB8\xAD", 1, "", bytes},
        {"", 7, "k", std::vector<unsigned char>{}},
    };
    for (auto& row : rows) {
        long long id = db->Insert(row.name, row.type, row.keyword, row.content);
        auto item = Read(static_cast<DWORD>(id));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->GetID(), static_cast<DWORD>(id));
        EXPECT_EQ(item->GetName().str(), row.name.value_or(""));
        EXPECT_EQ(item->GetType(), static_cast<DWORD>(row.type));
        EXPECT_EQ(item->GetKeyword().str(), row.keyword.value_or(""));
        std::vector<unsigned char> data = row.content.value_or(std::vector<unsigned char>{});
        ASSERT_EQ(item->GetDataSize(), data.size());
        EXPECT_TRUE(std::equal(data.begin(), data.end(), item->GetData()->GetData()));
    }
    EXPECT_EQ(Read(9999), nullptr);
    EXPECT_TRUE(recordset->GetadoEOF());
}

TEST_F(RowItemTest, AddLeavesEmptyTextNullAndTakesTheAssignedId)
{
    db->Insert("first", 1, "a", std::nullopt);
    CZELResItem item;
    item.SetID(0x80000005); // a local ID, replaced by the database's
    item.SetType(RESTYPE_ICON);
    BYTE bytes[] = {9, 8, 7, 6};
    item.SetData(bytes, 4);
    AddItemRow(recordset, &item);
    EXPECT_EQ(item.GetID(), 2u);
    EXPECT_EQ(db->Column(2, "NAME"), "NULL");
    EXPECT_EQ(db->Column(2, "KEYWORD"), "NULL");
    EXPECT_EQ(db->Column(2, "TYPE"), "2");
    EXPECT_EQ(db->Column(2, "CONTENT"), "<4 bytes>");

    item.SetName("named");
    item.SetKeyword("words");
    AddItemRow(recordset, &item);
    EXPECT_EQ(item.GetID(), 3u);
    EXPECT_EQ(db->Column(3, "NAME"), "named");
    EXPECT_EQ(db->Column(3, "KEYWORD"), "words");

    CZELResItem empty;
    AddItemRow(recordset, &empty);
    EXPECT_EQ(db->Column(empty.GetID(), "CONTENT"), "<0 bytes>");
}

TEST_F(RowItemTest, ModifyWritesEmptyTextAndReplacesTheContent)
{
    long long id = db->Insert("old name", 1, "old", std::vector<unsigned char>(1000, 1));
    CZELResItem item;
    item.SetID(static_cast<DWORD>(id));
    item.SetType(RESTYPE_GIF);
    BYTE bytes[] = {5, 5};
    item.SetData(bytes, 2);
    ModifyItemRow(recordset, &item);
    EXPECT_EQ(db->Column(id, "NAME"), "");
    EXPECT_EQ(db->Column(id, "KEYWORD"), "");
    EXPECT_EQ(db->Column(id, "TYPE"), "3");
    EXPECT_EQ(db->Column(id, "CONTENT"), "<2 bytes>");
}

TEST_F(RowItemTest, ModifyAndDeleteOfAGoneIdFailWithEFail)
{
    long long id = db->Insert("x", 1, std::nullopt, std::nullopt);
    CZELResItem item;
    item.SetID(static_cast<DWORD>(id + 1));
    EXPECT_EQ(CodeOf([&] { ModifyItemRow(recordset, &item); }), E_FAIL);
    EXPECT_EQ(CodeOf([&] { DeleteItemRow(recordset, static_cast<DWORD>(id + 1)); }), E_FAIL);
    EXPECT_EQ(CodeOf([&] { DeleteItemRow(recordset, static_cast<DWORD>(id)); }), S_OK);
    EXPECT_EQ(db->Count(), 0);
    EXPECT_EQ(CodeOf([&] { DeleteItemRow(recordset, static_cast<DWORD>(id)); }), E_FAIL);
}

TEST(DatabaseLocation, FileBesideAModuleAndTheConnectionText)
{
    CString beside = ExecutableDatabasePath();
    EXPECT_EQ(beside.Right(13), "/Resource.mdb");
    EXPECT_EQ(ConnectionText("/a b/Resource.mdb"), "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=/a b/Resource.mdb");
    EXPECT_EQ(IdCriterion(0x80000001), "ID=-2147483647");
    EXPECT_EQ(IdCriterion(42), "ID=42");
    EXPECT_FALSE(DatabaseFileExists("/nonexistent/Resource.mdb"));
    EXPECT_FALSE(DatabaseFileExists(""));
}

} // namespace
