#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "afx/ado/ado.h"
#include "afx/ado/ado_trace.h"
#include "afx/win32/codepage.h"
#include "tests/afx/ado/ado_test_support.h"

using namespace adotest;

namespace {

constexpr long kMiB = 1 << 20;

struct RowCase {
    const char* label;
    std::optional<std::string> name;
    long long type;
    std::optional<std::string> keyword;
    std::optional<Bytes> content;
};

std::vector<RowCase> RowCases()
{
    return {
        {"all nullable columns null", std::nullopt, 1, std::nullopt, std::nullopt},
        {"plain text, small content", "logo", 2, "company icon", Bytes{0x00, 0x01, 0xFF, 0x00}},
        {"non-ASCII text", "Gr\u00FC\u00DFe \u4F60\u597D \U0001F389", 3, "caf\u00E9 na\u00EFve \u00C5ngstr\u00F6m",
         Bytes{'G', 'I', 'F'}},
        {"empty texts and empty content", "", 4, "", Bytes{}},
        {"one MiB of content", "big", 5, "large", Pattern(kMiB, 7)},
        {"text with a quote", "it's", 6, "a 'quoted' word", std::nullopt},
    };
}

std::u16string Wide(const std::string& utf8)
{
    return AfxMultiByteToWide(utf8, CP_UTF8);
}

// Reads a field's stored data the way the module does: in pieces until
// GetChunk has no more.
Bytes ReadInChunks(const FieldPtr& field, long piece, int* calls)
{
    Bytes all;
    *calls = 0;
    for (;;) {
        _variant_t chunk = field->GetChunk(piece);
        ++*calls;
        if (chunk.vt == VT_NULL)
            break;
        EXPECT_EQ(chunk.vt, VT_ARRAY | VT_UI1);
        Bytes bytes = BytesOf(chunk);
        EXPECT_LE(static_cast<long>(bytes.size()), piece);
        EXPECT_FALSE(bytes.empty());
        all.insert(all.end(), bytes.begin(), bytes.end());
        if (*calls > 1000)
            break;
    }
    return all;
}

void ExpectText(const _variant_t& value, const std::optional<std::string>& expected, const char* what)
{
    if (!expected) {
        EXPECT_EQ(value.vt, VT_NULL) << what;
        return;
    }
    ASSERT_EQ(value.vt, VT_BSTR) << what;
    EXPECT_EQ(std::u16string(value.bstrVal, SysStringLen(value.bstrVal)), Wide(*expected)) << what;
    EXPECT_EQ(Utf8Of(value), *expected) << what;
}

// A trace event that opens a stored value to stream it.
bool OpensAStream(const std::string& event)
{
    return event.rfind("blob ", 0) == 0;
}

// Whether a statement selects the CONTENT value itself: its kind and size
// (typeof, length) do not count, as they read no bytes of it.
bool SelectsTheContent(std::string statement)
{
    if (statement.rfind("SELECT", 0) != 0)
        return false;
    for (const std::string header : {"typeof(\"CONTENT\")", "length(\"CONTENT\")"}) {
        for (size_t at; (at = statement.find(header)) != std::string::npos;)
            statement.erase(at, header.size());
    }
    size_t from = statement.find(" FROM ");
    return statement.substr(0, from).find("CONTENT") != std::string::npos;
}

// The bytes the process has read from files so far, when the system says.
std::optional<long long> BytesReadByProcess()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return std::nullopt;
}

class RecordsetTest : public ::testing::Test {
protected:
    TempDatabase db;
};

TEST_F(RecordsetTest, EveryKindOfRowReadsBackAsTypedValues)
{
    std::vector<RowCase> cases = RowCases();
    std::vector<long long> ids;
    {
        RawDb raw = db.Raw();
        for (const RowCase& c : cases)
            ids.push_back(raw.Insert({0, c.name, c.type, c.keyword, c.content}));
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    for (size_t i = 0; i < cases.size(); ++i) {
        const RowCase& c = cases[i];
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(Seek(rs, static_cast<long>(ids[i])));
        _variant_t id = Value(rs, 0);
        ASSERT_EQ(id.vt, VT_I4);
        EXPECT_EQ(id.lVal, ids[i]);
        ExpectText(Value(rs, 1), c.name, "NAME");
        _variant_t type = Value(rs, 2);
        ASSERT_EQ(type.vt, VT_I4);
        EXPECT_EQ(type.lVal, c.type);
        ExpectText(Value(rs, 3), c.keyword, "KEYWORD");

        FieldPtr content = rs->GetFields()->GetItem(4L);
        long size = content->GetActualSize();
        EXPECT_EQ(size, c.content ? static_cast<long>(c.content->size()) : 0);
        int calls = 0;
        Bytes streamed = ReadInChunks(content, 100000, &calls);
        EXPECT_EQ(streamed, c.content.value_or(Bytes{}));
        if (c.content && c.content->size() == static_cast<size_t>(kMiB)) {
            EXPECT_EQ(calls, 12); // 11 pieces, then no more
        }
        // The whole value at once, as the module reads it.
        _variant_t whole = content->GetValue();
        if (!c.content)
            EXPECT_EQ(whole.vt, VT_NULL);
        else
            EXPECT_EQ(BytesOf(whole), *c.content);
    }
}

TEST_F(RecordsetTest, EveryKindOfRowIsStoredAsWritten)
{
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    RawDb raw = db.Raw();
    for (const RowCase& c : RowCases()) {
        SCOPED_TRACE(c.label);
        rs->AddNew();
        FieldsPtr fields = rs->GetFields();
        // Text goes in as 8-bit text in the ANSI code page, as the module has it.
        if (c.name)
            fields->GetItem(1L)->PutValue(_variant_t(c.name->c_str()));
        fields->GetItem(2L)->PutValue(_variant_t(static_cast<long>(c.type)));
        if (c.keyword)
            fields->GetItem(3L)->PutValue(_variant_t(c.keyword->c_str()));
        if (c.content) {
            const Bytes& bytes = *c.content;
            size_t piece = 300000;
            if (bytes.empty())
                fields->GetItem(4L)->AppendChunk(Chunk(bytes));
            for (size_t at = 0; at < bytes.size(); at += piece) {
                Bytes part(bytes.begin() + static_cast<long>(at),
                           bytes.begin() + static_cast<long>(std::min(bytes.size(), at + piece)));
                fields->GetItem(4L)->AppendChunk(Chunk(part));
            }
        }
        rs->Update();
        _variant_t id = Value(rs, 0);
        ASSERT_EQ(id.vt, VT_I4);

        std::optional<RawRow> row = raw.Read(id.lVal);
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(row->name, c.name);
        EXPECT_EQ(row->type, c.type);
        EXPECT_EQ(row->keyword, c.keyword);
        EXPECT_EQ(row->content, c.content);
        // And back through the recordset as the same 8-bit text.
        if (c.name) {
            EXPECT_EQ(std::string(static_cast<const char*>(_bstr_t(Value(rs, 1)))), *c.name);
        }
    }
}

TEST_F(RecordsetTest, UpdateOfANewRowAssignsTheNextIdAndKeepsTheRowCurrent)
{
    {
        RawDb raw = db.Raw();
        raw.Insert({0, "a", 1, std::nullopt, std::nullopt});
        raw.Insert({0, "b", 1, std::nullopt, std::nullopt});
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    long previous = 0;
    for (int i = 0; i < 3; ++i) {
        rs->AddNew();
        EXPECT_EQ(rs->GetEditMode(), adEditAdd);
        // A new row has no ID until the database gives it one.
        EXPECT_EQ(Value(rs, 0).vt, VT_NULL);
        rs->GetFields()->GetItem(1L)->PutValue("new");
        rs->Update();
        EXPECT_EQ(rs->GetEditMode(), adEditNone);
        EXPECT_FALSE(AtEof(rs));
        EXPECT_EQ(rs->GetBOF(), VARIANT_FALSE);
        long id = Value(rs, 0);
        EXPECT_EQ(id, 3 + i);
        EXPECT_GT(id, previous);
        previous = id;
        EXPECT_EQ(Utf8Of(Value(rs, 1)), "new");
    }
    EXPECT_EQ(db.Raw().Count(), 5);
}

TEST_F(RecordsetTest, AnEmptyNameStaysNullOnAddAndBecomesEmptyTextOnModify)
{
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    rs->AddNew();
    rs->GetFields()->GetItem(2L)->PutValue(2L);
    rs->GetFields()->GetItem(4L)->AppendChunk(Chunk({}));
    rs->Update();
    long id = Value(rs, 0);
    EXPECT_EQ(db.Raw().Read(id)->name, std::nullopt);

    ASSERT_TRUE(Seek(rs, id));
    rs->GetFields()->GetItem(1L)->PutValue("");
    rs->Update();
    EXPECT_EQ(db.Raw().Read(id)->name, std::string());
}

TEST_F(RecordsetTest, ModifyWritesValuesAndTheFirstChunkOfEachEditReplacesTheContent)
{
    long long id = db.Raw().Insert({0, "old", 2, "old words", Pattern(5000, 1)});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    ASSERT_TRUE(Seek(rs, static_cast<long>(id)));
    FieldsPtr fields = rs->GetFields();
    fields->GetItem(1L)->PutValue("renamed");
    fields->GetItem(2L)->PutValue(5L);
    fields->GetItem(3L)->PutValue("new words");
    Bytes first = Pattern(700, 2), second = Pattern(300, 3);
    fields->GetItem(4L)->AppendChunk(Chunk(first));
    fields->GetItem(4L)->AppendChunk(Chunk(second));
    EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
    // Nothing is stored before Update.
    EXPECT_EQ(db.Raw().Read(id)->name, "old");
    // The edit shows in the fields meanwhile.
    EXPECT_EQ(Utf8Of(fields->GetItem(1L)->GetValue()), "renamed");
    EXPECT_EQ(fields->GetItem(4L)->GetActualSize(), 1000);
    rs->Update();

    Bytes joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    std::optional<RawRow> row = db.Raw().Read(id);
    EXPECT_EQ(row->name, "renamed");
    EXPECT_EQ(row->type, 5);
    EXPECT_EQ(row->keyword, "new words");
    EXPECT_EQ(row->content, joined);

    // A new edit starts the content over.
    Bytes third = Pattern(10, 4);
    fields->GetItem(4L)->AppendChunk(Chunk(third));
    rs->Update();
    EXPECT_EQ(db.Raw().Read(id)->content, third);
}

TEST_F(RecordsetTest, DeleteRemovesTheRowAtOnceAndTheCursorMovesOnFromIt)
{
    std::vector<long long> ids;
    {
        RawDb raw = db.Raw();
        for (int i = 0; i < 3; ++i)
            ids.push_back(raw.Insert({0, "row" + std::to_string(i), 1, std::nullopt, std::nullopt}));
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    ASSERT_TRUE(Seek(rs, static_cast<long>(ids[1])));
    rs->Delete(adAffectCurrent);
    EXPECT_FALSE(db.Raw().Read(ids[1]).has_value());
    rs->Update(); // nothing pending: does nothing
    try {
        Value(rs, 1);
        ADD_FAILURE() << "a deleted row has no values";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrNoCurrentRecord));
        EXPECT_NE(DescriptionOf(e).find("deleted"), std::string::npos);
    }
    rs->MoveNext();
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), ids[2]);
    EXPECT_FALSE(Seek(rs, static_cast<long>(ids[1])));
    EXPECT_EQ(db.Raw().Count(), 2);
}

TEST_F(RecordsetTest, CancelUpdateAbandonsTheEdit)
{
    long long id = db.Raw().Insert({0, "kept", 2, "kw", Bytes{1, 2, 3}});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));

    // A new row: nothing stored, and the row before it is current again.
    rs->AddNew();
    rs->GetFields()->GetItem(1L)->PutValue("never");
    rs->GetFields()->GetItem(4L)->AppendChunk(Chunk(Bytes{9}));
    rs->CancelUpdate();
    EXPECT_EQ(rs->GetEditMode(), adEditNone);
    EXPECT_EQ(db.Raw().Count(), 1);
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), id);

    // An edit of a row: the stored values stay.
    rs->GetFields()->GetItem(1L)->PutValue("changed");
    rs->GetFields()->GetItem(4L)->AppendChunk(Chunk(Bytes{7, 7}));
    rs->CancelUpdate();
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "kept");
    EXPECT_EQ(BytesOf(Value(rs, 4)), (Bytes{1, 2, 3}));
    std::optional<RawRow> row = db.Raw().Read(id);
    EXPECT_EQ(row->name, "kept");
    EXPECT_EQ(row->content, (Bytes{1, 2, 3}));

    // With nothing pending it does nothing.
    EXPECT_NO_THROW(rs->CancelUpdate());
}

TEST_F(RecordsetTest, MovingAwayFromAnEditStoresIt)
{
    long long first = db.Raw().Insert({0, "one", 1, std::nullopt, std::nullopt});
    db.Raw().Insert({0, "two", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    rs->GetFields()->GetItem(1L)->PutValue("uno");
    rs->MoveNext();
    EXPECT_EQ(db.Raw().Read(first)->name, "uno");
}

TEST_F(RecordsetTest, FindSeeksFromTheCurrentRowAndEndsAtEofWhenNothingMatches)
{
    std::vector<long long> ids;
    {
        RawDb raw = db.Raw();
        ids.push_back(raw.Insert({0, "Alpha", 2, "first", std::nullopt}));
        ids.push_back(raw.Insert({0, "beta", 3, "second", std::nullopt}));
        ids.push_back(raw.Insert({0, "Gamma", 2, "third", std::nullopt}));
        ids.push_back(raw.Insert({0, "delta", 4, "fourth", std::nullopt}));
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));

    struct FindCase {
        const char* criterion;
        long skip;
        std::optional<long long> from; // current row before the search; nullopt = first row
        std::optional<long long> found; // nullopt = EOF
    };
    const FindCase cases[] = {
        {"ID=2", 0, std::nullopt, ids[1]},
        {"ID = 4", 0, std::nullopt, ids[3]},
        {"[ID]=3", 0, ids[2], ids[2]},       // the current row counts
        {"ID=1", 0, ids[1], std::nullopt},   // rows before the current one do not
        {"ID=99", 0, std::nullopt, std::nullopt},
        {"ID=-5", 0, std::nullopt, std::nullopt},
        {"TYPE=2", 0, ids[1], ids[2]},
        {"TYPE=2", 1, std::nullopt, ids[2]}, // skips the first row itself
        {"TYPE>2", 0, std::nullopt, ids[1]},
        {"TYPE<>2", 0, ids[2], ids[3]},
        {"TYPE>=4", 0, std::nullopt, ids[3]},
        {"NAME='gamma'", 0, std::nullopt, ids[2]}, // text compares case-blind
        {"KEYWORD = 'fourth'", 0, std::nullopt, ids[3]},
        {"NAME='nobody'", 0, std::nullopt, std::nullopt},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.criterion);
        if (c.from)
            ASSERT_TRUE(Seek(rs, static_cast<long>(*c.from)));
        else
            rs->MoveFirst();
        rs->Find(c.criterion, c.skip, adSearchForward);
        if (c.found) {
            ASSERT_FALSE(AtEof(rs));
            EXPECT_EQ(static_cast<long>(Value(rs, 0)), *c.found);
        } else {
            EXPECT_TRUE(AtEof(rs));
        }
    }

    // Backward from the last row.
    rs->MoveLast();
    rs->Find("TYPE=2", 0, adSearchBackward);
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), ids[2]);
    rs->Find("ID=99", 0, adSearchBackward);
    EXPECT_EQ(rs->GetBOF(), VARIANT_TRUE);
}

TEST_F(RecordsetTest, AFindCriterionItCannotUseIsAnInvalidArgument)
{
    db.Raw().Insert({0, "a", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    for (const char* criterion : {"ID", "ID==", "ID=abc", "NOSUCH=1", "ID=1 AND TYPE=2", "NAME='open", ""}) {
        SCOPED_TRACE(criterion);
        try {
            rs->Find(criterion, 0, adSearchForward);
            ADD_FAILURE() << "accepted";
        } catch (_com_error& e) {
            EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrInvalidArgument));
            EXPECT_FALSE(DescriptionOf(e).empty());
        }
    }
    // The cursor did not move.
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), 1);
}

TEST_F(RecordsetTest, AFilteredSourceWalksItsRowsInKeyOrder)
{
    std::vector<long long> typeTwo;
    {
        RawDb raw = db.Raw();
        const int types[] = {2, 3, 2, 2, 5, 2};
        for (int t : types) {
            long long id = raw.Insert({0, "r", t, std::nullopt, std::nullopt});
            if (t == 2)
                typeTwo.push_back(id);
        }
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()), "SELECT * FROM RESTABLE WHERE [TYPE]=2");
    EXPECT_EQ(rs->GetBOF(), VARIANT_FALSE);
    std::vector<long long> walked;
    rs->MoveFirst();
    while (!AtEof(rs)) {
        walked.push_back(static_cast<long>(Value(rs, 0)));
        EXPECT_EQ(static_cast<long>(Value(rs, 2)), 2);
        rs->MoveNext();
    }
    EXPECT_EQ(walked, typeTwo);
    EXPECT_EQ(rs->GetBOF(), VARIANT_FALSE);
    try {
        rs->MoveNext();
        ADD_FAILURE() << "moved past the end";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrNoCurrentRecord));
    }
    rs->MovePrevious();
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), typeTwo.back());

    // A Find outside the filter finds nothing.
    rs->MoveFirst();
    rs->Find("TYPE=3", 0, adSearchForward);
    EXPECT_TRUE(AtEof(rs));

    _RecordsetPtr none = OpenRecordset(_variant_t(db.ConnectionText().c_str()), "select * from restable where TYPE = 7");
    EXPECT_TRUE(AtEof(none));
    EXPECT_EQ(none->GetBOF(), VARIANT_TRUE);
    EXPECT_NO_THROW(none->MoveFirst());
    EXPECT_TRUE(AtEof(none));
}

TEST_F(RecordsetTest, AnotherConnectionsCommitsShowWithoutReopening)
{
    long long existing = db.Raw().Insert({0, "before", 2, std::nullopt, std::nullopt});
    _ConnectionPtr connection;
    ASSERT_EQ(connection.CreateInstance(__uuidof(Connection)), S_OK);
    connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
    _RecordsetPtr reader = OpenRecordset(_variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true));
    ASSERT_FALSE(AtEof(reader));

    _RecordsetPtr writer = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    writer->AddNew();
    writer->GetFields()->GetItem(1L)->PutValue("added elsewhere");
    writer->Update();
    long added = Value(writer, 0);

    ASSERT_TRUE(Seek(reader, added));
    EXPECT_EQ(Utf8Of(Value(reader, 1)), "added elsewhere");

    // A change made after the cursor came to a row shows once the cursor
    // comes to the row again.
    ASSERT_TRUE(Seek(reader, static_cast<long>(existing)));
    ASSERT_TRUE(Seek(writer, static_cast<long>(existing)));
    writer->GetFields()->GetItem(1L)->PutValue("renamed elsewhere");
    writer->Update();
    ASSERT_TRUE(Seek(reader, static_cast<long>(existing)));
    EXPECT_EQ(Utf8Of(Value(reader, 1)), "renamed elsewhere");
    reader->MoveLast();
    reader->MovePrevious();
    EXPECT_EQ(static_cast<long>(Value(reader, 0)), static_cast<long>(existing));
    EXPECT_EQ(Utf8Of(Value(reader, 1)), "renamed elsewhere");

    // And a row deleted elsewhere is gone from the walk.
    writer->Delete(adAffectCurrent);
    std::vector<long> walked;
    for (reader->MoveFirst(); !AtEof(reader); reader->MoveNext())
        walked.push_back(Value(reader, 0));
    EXPECT_EQ(walked, std::vector<long>{added});
}

TEST_F(RecordsetTest, AWalkOverIdNameAndKeywordNeverReadsTheContent)
{
    {
        RawDb raw = db.Raw();
        for (int i = 0; i < 5; ++i)
            raw.Insert({0, "n" + std::to_string(i), 2, "k", Pattern(kMiB, static_cast<unsigned>(i))});
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()), "SELECT * FROM RESTABLE WHERE [TYPE]=2");
    std::vector<std::string> events;
    AfxAdoTraceProc previous = AfxAdoSetTrace(
        [](const char* event, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(event); },
        &events);
    int rows = 0;
    for (rs->MoveFirst(); !AtEof(rs); rs->MoveNext()) {
        Value(rs, 0);
        Value(rs, 1);
        Value(rs, 3);
        ++rows;
    }
    std::vector<std::string> walk = events;
    events.clear();
    rs->MoveFirst();
    long size = rs->GetFields()->GetItem(4L)->GetActualSize();
    _variant_t chunk = rs->GetFields()->GetItem(4L)->GetChunk(size);
    Value(rs, 4);
    AfxAdoSetTrace(previous, nullptr);

    EXPECT_EQ(rows, 5);
    EXPECT_FALSE(walk.empty());
    // The walk may ask for the content's kind and size, never its bytes.
    for (const std::string& event : walk) {
        EXPECT_FALSE(OpensAStream(event)) << event;
        EXPECT_FALSE(SelectsTheContent(event)) << event;
    }
    // Reading the content does show, so the walk's silence means something.
    EXPECT_EQ(size, kMiB);
    EXPECT_EQ(BytesOf(chunk), Pattern(kMiB, 0));
    int streams = 0;
    int selections = 0;
    for (const std::string& event : events) {
        streams += OpensAStream(event);
        selections += SelectsTheContent(event);
    }
    EXPECT_EQ(streams, 1);
    EXPECT_EQ(selections, 1); // GetValue
}

TEST_F(RecordsetTest, AWalkReadsNoContentBytesFromTheFile)
{
    {
        RawDb raw = db.Raw();
        for (int i = 0; i < 8; ++i)
            raw.Insert({0, "n" + std::to_string(i), 2, "k", Pattern(kMiB, static_cast<unsigned>(i))});
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()), "SELECT * FROM RESTABLE WHERE [TYPE]=2");
    std::optional<long long> before = BytesReadByProcess();
    if (!before)
        GTEST_SKIP() << "the process's read counter is not available";
    int rows = 0;
    for (rs->MoveFirst(); !AtEof(rs); rs->MoveNext()) {
        Value(rs, 0);
        Value(rs, 1);
        Value(rs, 3);
        EXPECT_EQ(rs->GetFields()->GetItem(4L)->GetActualSize(), kMiB);
        ++rows;
    }
    std::optional<long long> walked = BytesReadByProcess();
    EXPECT_EQ(rows, 8);
    ASSERT_TRUE(walked);
    EXPECT_LT(*walked - *before, kMiB);
    // Reading one content does cost its bytes, so the walk's figure means something.
    rs->MoveFirst();
    EXPECT_EQ(BytesOf(Value(rs, 4)), Pattern(kMiB, 0));
    std::optional<long long> read = BytesReadByProcess();
    ASSERT_TRUE(read);
    EXPECT_GE(*read - *walked, kMiB);
}

TEST_F(RecordsetTest, GetChunkStartsOverWhenAnotherFieldIsRead)
{
    Bytes content = Pattern(1000, 9);
    db.Raw().Insert({0, "x", 1, std::nullopt, content});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    FieldPtr field = rs->GetFields()->GetItem("content");
    EXPECT_EQ(BytesOf(field->GetChunk(400)), Bytes(content.begin(), content.begin() + 400));
    EXPECT_EQ(BytesOf(field->GetChunk(400)), Bytes(content.begin() + 400, content.begin() + 800));
    Value(rs, 1);
    EXPECT_EQ(BytesOf(field->GetChunk(400)), Bytes(content.begin(), content.begin() + 400));
    // A request beyond the end gives what is left, then nothing.
    EXPECT_EQ(BytesOf(field->GetChunk(100000)), Bytes(content.begin() + 400, content.end()));
    EXPECT_EQ(field->GetChunk(100000).vt, VT_NULL);
}

TEST_F(RecordsetTest, FieldsAreFoundByPositionOrByName)
{
    db.Raw().Insert({0, "named", 3, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    FieldsPtr fields = rs->GetFields();
    EXPECT_EQ(fields->GetCount(), 5);
    EXPECT_EQ(Utf8Of(fields->GetItem("name")->GetValue()), "named");
    EXPECT_EQ(Utf8Of(fields->GetItem(_variant_t(short(1)))->GetValue()), "named");
    EXPECT_EQ(std::string(static_cast<const char*>(fields->GetItem(2L)->GetName())), "TYPE");
    for (const _variant_t& bad : {_variant_t(5L), _variant_t(-1L), _variant_t("NOSUCH")}) {
        try {
            fields->GetItem(bad);
            ADD_FAILURE() << "found a field that is not there";
        } catch (_com_error& e) {
            EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrItemNotFound));
        }
    }
}

TEST_F(RecordsetTest, TheKeyColumnIsTheDatabasesToAssign)
{
    db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    EXPECT_THROW(rs->GetFields()->GetItem(0L)->PutValue(42L), _com_error);
    EXPECT_EQ(rs->GetEditMode(), adEditNone);
}

TEST_F(RecordsetTest, TheKeyColumnIsReadFromTheCursorWithoutAskingTheDatabase)
{
    long long id = db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    // After a write the values read with the row are read again when asked
    // for; the key never is.
    rs->GetFields()->GetItem(1L)->PutValue("y");
    rs->Update();
    std::vector<std::string> events;
    AfxAdoTraceProc previous = AfxAdoSetTrace(
        [](const char* event, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(event); },
        &events);
    _variant_t key = Value(rs, 0);
    std::vector<std::string> keyEvents = events;
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "y");
    AfxAdoSetTrace(previous, nullptr);

    EXPECT_EQ(key.vt, VT_I4);
    EXPECT_EQ(static_cast<long>(key), id);
    EXPECT_TRUE(keyEvents.empty());
    EXPECT_FALSE(events.empty()); // another column does ask, so the silence means something
    // A row deleted through the cursor has no key to give either.
    rs->Delete(adAffectCurrent);
    EXPECT_THROW(Value(rs, 0), _com_error);
}

TEST_F(RecordsetTest, ATableWithoutAnIntegerKeyMovesByItsRowids)
{
    {
        RawDb raw = db.Raw();
        raw.Exec("CREATE TABLE PLAIN (CODE TEXT, QTY INTEGER); INSERT INTO PLAIN VALUES ('b', 2); "
                 "INSERT INTO PLAIN VALUES ('a', 1); CREATE TABLE NOROWID (K TEXT PRIMARY KEY) WITHOUT ROWID");
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()), "SELECT * FROM plain");
    std::vector<std::string> codes;
    for (rs->MoveFirst(); !AtEof(rs); rs->MoveNext())
        codes.push_back(Utf8Of(Value(rs, 0)));
    EXPECT_EQ(codes, (std::vector<std::string>{"b", "a"}));
    rs->AddNew();
    rs->GetFields()->GetItem(0L)->PutValue("c");
    rs->Update();
    EXPECT_EQ(Utf8Of(Value(rs, 0)), "c");
    EXPECT_EQ(db.Raw().Text("SELECT group_concat(CODE, '') FROM PLAIN"), "bac");

    _RecordsetPtr keyless;
    keyless.CreateInstance(__uuidof(Recordset));
    try {
        keyless->Open("SELECT * FROM NOROWID", _variant_t(db.ConnectionText().c_str()), adOpenDynamic,
                      adLockOptimistic, adCmdText);
        ADD_FAILURE() << "opened a table without row keys";
    } catch (_com_error& e) {
        EXPECT_NE(DescriptionOf(e).find("NOROWID"), std::string::npos) << DescriptionOf(e);
    }
}

TEST_F(RecordsetTest, AClosedOrMissingObjectFailsAsACOMError)
{
    // A null pointer.
    _RecordsetPtr missing;
    try {
        missing->MoveFirst();
        ADD_FAILURE() << "called through null";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), E_POINTER);
        EXPECT_EQ(std::string(static_cast<const char*>(e.Description())), "");
    }
    EXPECT_THROW(missing.Release(), _com_error);

    // A recordset whose Open failed stays closed, and says so every time.
    _RecordsetPtr rs;
    ASSERT_EQ(rs.CreateInstance("ADODB.Recordset"), S_OK);
    EXPECT_THROW(rs->Open("SELECT * FROM RESTABLE",
                          _variant_t(("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + db.Dir() + "/none.mdb").c_str()),
                          adOpenDynamic, adLockOptimistic, adCmdText),
                 _com_error);
    EXPECT_EQ(rs->GetState(), adStateClosed);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            rs->GetadoEOF();
            ADD_FAILURE() << "a closed recordset answered";
        } catch (_com_error& e) {
            EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrObjectClosed));
            EXPECT_EQ(DescriptionOf(e), "Operation is not allowed when the object is closed.");
            EXPECT_EQ(std::string(static_cast<const char*>(e.Source())), AFX_ADO_ERROR_SOURCE);
        }
    }

    // Fields outlive their recordset's opening but no longer answer.
    db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _RecordsetPtr open = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    FieldPtr field = open->GetFields()->GetItem(1L);
    EXPECT_EQ(open->GetState(), adStateOpen);
    open->Close();
    EXPECT_EQ(open->GetState(), adStateClosed);
    EXPECT_THROW(field->GetValue(), _com_error);
    EXPECT_THROW(open->Close(), _com_error);
}

TEST_F(RecordsetTest, ClosingTheConnectionClosesItsRecordsets)
{
    db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _ConnectionPtr connection;
    ASSERT_EQ(connection.CreateInstance(__uuidof(Connection)), S_OK);
    connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
    _RecordsetPtr rs = OpenRecordset(_variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true));
    EXPECT_EQ(rs->GetState(), adStateOpen);
    connection->Close();
    EXPECT_EQ(rs->GetState(), adStateClosed);
    EXPECT_THROW(rs->MoveFirst(), _com_error);
    // A closed connection cannot serve a new recordset.
    _RecordsetPtr another;
    another.CreateInstance(__uuidof(Recordset));
    try {
        another->Open("SELECT * FROM RESTABLE", _variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true),
                      adOpenDynamic, adLockOptimistic, adCmdText);
        ADD_FAILURE() << "opened on a closed connection";
    } catch (_com_error& e) {
        EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrInvalidConnection));
    }
}

TEST_F(RecordsetTest, SourcesItDoesNotUnderstandAreRefusedWithTheirText)
{
    const char* sources[] = {"SELECT NAME FROM RESTABLE", "SELECT * FROM RESTABLE ORDER BY NAME",
                             "DELETE FROM RESTABLE", "SELECT * FROM NOSUCHTABLE",
                             "SELECT * FROM RESTABLE WHERE NOSUCH=1"};
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        _RecordsetPtr rs;
        rs.CreateInstance(__uuidof(Recordset));
        try {
            rs->Open(source, _variant_t(db.ConnectionText().c_str()), adOpenDynamic, adLockOptimistic, adCmdText);
            ADD_FAILURE() << "opened";
        } catch (_com_error& e) {
            EXPECT_TRUE(FAILED(e.Error()));
            EXPECT_FALSE(DescriptionOf(e).empty());
        }
        EXPECT_EQ(rs->GetState(), adStateClosed);
    }
}

TEST_F(RecordsetTest, AReadOnlyLockRefusesEdits)
{
    long long id = db.Raw().Insert({0, "x", 1, std::nullopt, std::nullopt});
    _RecordsetPtr rs;
    rs.CreateInstance(__uuidof(Recordset));
    rs->Open("SELECT * FROM RESTABLE", _variant_t(db.ConnectionText().c_str()), adOpenDynamic, adLockReadOnly,
             adCmdText);
    EXPECT_THROW(rs->AddNew(), _com_error);
    EXPECT_THROW(rs->GetFields()->GetItem(1L)->PutValue("y"), _com_error);
    EXPECT_THROW(rs->Delete(adAffectCurrent), _com_error);
    EXPECT_EQ(db.Raw().Read(id)->name, "x");
}

} // namespace
