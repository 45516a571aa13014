#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "afx/ado/ado.h"
#include "tests/afx/ado/ado_test_support.h"

using namespace adotest;

namespace {

class ConnectionTest : public ::testing::Test {
protected:
    _ConnectionPtr NewConnection()
    {
        _ConnectionPtr connection;
        EXPECT_EQ(connection.CreateInstance(__uuidof(Connection)), S_OK);
        return connection;
    }

    // Opens and returns the error it raised; fails the test when it opened.
    _com_error OpenFails(const std::string& text, ConnectModeEnum mode = adModeUnknown)
    {
        _ConnectionPtr connection = NewConnection();
        connection->PutMode(mode);
        try {
            connection->Open(text.c_str(), "", "", adConnectUnspecified);
        } catch (_com_error& e) {
            EXPECT_EQ(connection->GetState(), adStateClosed);
            return e;
        }
        ADD_FAILURE() << "opened: " << text;
        return _com_error(S_OK);
    }

    TempDatabase db;
};

TEST_F(ConnectionTest, TheConnectionTextIsReadWhateverItsSpacingAndCase)
{
    const std::string path = db.Path();
    const std::string texts[] = {
        "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path,
        "provider = microsoft.jet.oledb.4.0 ;data source= " + path + " ;",
        "Data Source=" + path + ";Provider=Microsoft.Jet.OLEDB.4.0",
        "PROVIDER=Microsoft.Jet.OLEDB.4.0;DATA  SOURCE=\"" + path + "\";Persist Security Info=False",
        ";Provider=Microsoft.Jet.OLEDB.4.0;;Data Source='" + path + "'",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        _ConnectionPtr connection = NewConnection();
        EXPECT_EQ(connection->GetState(), adStateClosed);
        connection->Open(text.c_str(), "", "", adConnectUnspecified);
        EXPECT_EQ(connection->GetState(), adStateOpen);
        connection->Close();
        EXPECT_EQ(connection->GetState(), adStateClosed);
    }
}

TEST_F(ConnectionTest, APathWithBlanksAndASemicolonOpensWhenQuoted)
{
    std::string dir = db.Dir() + "/my data; old";
    std::filesystem::create_directory(dir);
    std::filesystem::copy_file(db.Path(), dir + "/Resource.mdb");
    _ConnectionPtr connection = NewConnection();
    connection->Open(("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + dir + "/Resource.mdb\"").c_str(), "", "",
                     adConnectUnspecified);
    EXPECT_EQ(connection->GetState(), adStateOpen);
    // Unquoted, the path ends at the semicolon, and what follows it is no
    // part of a connection text.
    _com_error e = OpenFails("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + dir + "/Resource.mdb");
    EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrInvalidArgument));
    // At the end of the text, the semicolon ends the path.
    e = OpenFails("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + db.Dir() + "/my data;");
    EXPECT_EQ(DescriptionOf(e), "Could not find file '" + db.Dir() + "/my data'.");
}

TEST_F(ConnectionTest, AMissingFileFailsNamingThePathAndIsNotCreated)
{
    std::string path = db.Dir() + "/missing/Resource.mdb";
    std::string alsoMissing = db.Dir() + "/Other.mdb";
    for (const std::string& p : {path, alsoMissing}) {
        for (ConnectModeEnum mode : {adModeUnknown, adModeRead}) {
            _com_error e = OpenFails("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + p, mode);
            EXPECT_EQ(e.Error(), E_FAIL);
            EXPECT_EQ(DescriptionOf(e), "Could not find file '" + p + "'.");
            EXPECT_EQ(std::string(static_cast<const char*>(e.Source())), AFX_ADO_ERROR_SOURCE);
            EXPECT_STREQ(e.ErrorMessage(), "Unspecified error");
            EXPECT_FALSE(std::filesystem::exists(p));
        }
    }
}

TEST_F(ConnectionTest, AFileThatIsNoDatabaseFailsSayingSo)
{
    std::string path = db.Dir() + "/notes.mdb";
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "This is a text file, not a database at all. ";
    std::ofstream(path, std::ios::binary) << text;
    for (ConnectModeEnum mode : {adModeUnknown, adModeRead}) {
        _com_error e = OpenFails("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path, mode);
        EXPECT_EQ(e.Error(), E_FAIL);
        EXPECT_EQ(DescriptionOf(e), "File is not a database: '" + path + "'.");
    }
    // And the file is left as it was.
    EXPECT_EQ(std::filesystem::file_size(path), text.size());

    // A folder is no database either.
    _com_error e = OpenFails("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + db.Dir());
    EXPECT_NE(DescriptionOf(e).find("not a file"), std::string::npos);
}

TEST_F(ConnectionTest, TextsWithoutTheProviderOrADataSourceAreRefused)
{
    struct Case {
        std::string text;
        HRESULT code;
    };
    const Case cases[] = {
        {"Data Source=" + db.Path(), AdoErrorToHResult(adErrProviderNotFound)},
        {"Provider=SQLOLEDB; Data Source=" + db.Path(), AdoErrorToHResult(adErrProviderNotFound)},
        {"Provider=Microsoft.Jet.OLEDB.4.0", E_FAIL},
        {"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=", E_FAIL},
        {"Provider=Microsoft.Jet.OLEDB.4.0; garbage; Data Source=" + db.Path(), AdoErrorToHResult(adErrInvalidArgument)},
        {"Provider=Microsoft.Jet.OLEDB.4.0; Data Source=\"" + db.Path(), AdoErrorToHResult(adErrInvalidArgument)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        _com_error e = OpenFails(c.text);
        EXPECT_EQ(e.Error(), c.code);
        EXPECT_FALSE(DescriptionOf(e).empty());
    }
}

TEST_F(ConnectionTest, AReadOnlyConnectionReadsAndRefusesEveryWrite)
{
    long long id = db.Raw().Insert({0, "stored", 2, "kw", Bytes{1, 2}});
    // Opened for reading first, the file is read as it is and left so.
    {
        _ConnectionPtr reader = NewConnection();
        reader->PutMode(adModeRead);
        reader->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
        _RecordsetPtr rs = OpenRecordset(_variant_t(static_cast<IDispatch*>(reader.GetInterfacePtr()), true));
        EXPECT_EQ(Utf8Of(Value(rs, 1)), "stored");
    }
    EXPECT_EQ(db.Raw().Text("PRAGMA journal_mode"), "delete");
    // Once opened for writing, the file keeps a write-ahead log; read-only
    // connections must still read it.
    {
        _ConnectionPtr writer = NewConnection();
        writer->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
        writer->Close();
    }
    EXPECT_EQ(db.Raw().Text("PRAGMA journal_mode"), "wal");

    _ConnectionPtr connection = NewConnection();
    connection->PutMode(adModeRead);
    connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
    EXPECT_EQ(connection->GetMode(), adModeRead);
    _RecordsetPtr rs = OpenRecordset(_variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true));
    ASSERT_TRUE(Seek(rs, static_cast<long>(id)));
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "stored");

    auto expectReadOnly = [](auto&& write, const char* what) {
        try {
            write();
            ADD_FAILURE() << what << " succeeded";
        } catch (_com_error& e) {
            EXPECT_EQ(DescriptionOf(e), "Cannot update. Database or object is read-only.") << what;
        }
    };
    expectReadOnly([&] { rs->AddNew(); }, "AddNew");
    expectReadOnly([&] { rs->GetFields()->GetItem(1L)->PutValue("changed"); }, "PutValue");
    expectReadOnly([&] { rs->GetFields()->GetItem(4L)->AppendChunk(Chunk(Bytes{3})); }, "AppendChunk");
    expectReadOnly([&] { rs->Delete(adAffectCurrent); }, "Delete");
    expectReadOnly([&] { connection->Execute("DELETE FROM RESTABLE", nullptr, adCmdText); }, "Execute");

    std::optional<RawRow> row = db.Raw().Read(id);
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->name, "stored");
    EXPECT_EQ(row->content, (Bytes{1, 2}));
}

TEST_F(ConnectionTest, TheModeIsSetBeforeOpenOnly)
{
    _ConnectionPtr connection = NewConnection();
    EXPECT_EQ(connection->GetMode(), adModeUnknown);
    connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
    try {
        connection->PutMode(adModeRead);
        ADD_FAILURE() << "mode changed while open";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrObjectOpen));
    }
    try {
        connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
        ADD_FAILURE() << "opened twice";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrObjectOpen));
    }
    connection->Close();
    try {
        connection->Close();
        ADD_FAILURE() << "closed twice";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrObjectClosed));
    }
}

TEST_F(ConnectionTest, ExecuteMakesTablesInAnEmptyFileAndCountsChangedRows)
{
    std::string path = db.Dir() + "/New.mdb";
    std::ofstream(path).close(); // an empty file is an empty database
    _ConnectionPtr connection = NewConnection();
    connection->Open(("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path).c_str(), "", "", adConnectUnspecified);
    EXPECT_FALSE(connection->Execute(kCreateResourceTable, nullptr, adCmdText));
    _variant_t affected;
    connection->Execute("INSERT INTO RESTABLE (NAME, TYPE) VALUES ('a', 1); INSERT INTO RESTABLE (NAME, TYPE) "
                        "VALUES ('b', 2)",
                        &affected, adCmdText | static_cast<long>(adExecuteNoRecords));
    EXPECT_EQ(affected.vt, VT_I4);
    EXPECT_EQ(affected.lVal, 2);
    connection->Execute("UPDATE RESTABLE SET TYPE = 3", &affected, adCmdText);
    EXPECT_EQ(affected.lVal, 2);

    try {
        connection->Execute("THIS IS NOT SQL", nullptr, adCmdText);
        ADD_FAILURE() << "ran nonsense";
    } catch (_com_error& e) {
        EXPECT_FALSE(DescriptionOf(e).empty());
    }
    connection->Close();
    EXPECT_EQ(RawDb(path).Count(), 2);
}

TEST_F(ConnectionTest, ARecordsetOpensAConnectionOfItsOwnFromAText)
{
    db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    EXPECT_EQ(rs->GetState(), adStateOpen);
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "x");
    // A table name serves as a source too.
    _RecordsetPtr byTable;
    byTable.CreateInstance(__uuidof(Recordset));
    byTable->Open("RESTABLE", _variant_t(db.ConnectionText().c_str()), adOpenDynamic, adLockOptimistic, adCmdTable);
    EXPECT_EQ(Utf8Of(Value(byTable, 1)), "x");
}

TEST_F(ConnectionTest, ClassesAreCreatedByIdentifierOrProgramName)
{
    _ConnectionPtr byName;
    EXPECT_EQ(byName.CreateInstance("ADODB.Connection"), S_OK);
    EXPECT_TRUE(byName);
    _RecordsetPtr byName2;
    EXPECT_EQ(byName2.CreateInstance("adodb.recordset"), S_OK);
    // A recordset is no connection.
    _ConnectionPtr wrong;
    EXPECT_EQ(wrong.CreateInstance(__uuidof(Recordset)), E_NOINTERFACE);
    EXPECT_FALSE(wrong);
    EXPECT_EQ(wrong.CreateInstance("ADODB.Nothing"), CO_E_CLASSSTRING);
}

} // namespace
