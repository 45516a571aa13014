#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "afx/ado/ado.h"
#include "afx/ado/ado_trace.h"
#include "tests/afx/ado/ado_test_support.h"

using namespace adotest;

namespace {

// Counts the statements and stream openings the ADO objects run while it
// lives.
class EngineEvents {
public:
    EngineEvents()
    {
        m_previous = AfxAdoSetTrace([](const char*, void* context) { ++*static_cast<int*>(context); }, &m_count);
    }
    ~EngineEvents() { AfxAdoSetTrace(m_previous, nullptr); }
    EngineEvents(const EngineEvents&) = delete;
    EngineEvents& operator=(const EngineEvents&) = delete;
    int Count() const { return m_count; }

private:
    int m_count = 0;
    AfxAdoTraceProc m_previous = nullptr;
};

std::string Name(long id)
{
    return "n" + std::to_string(id);
}

class RowWindowTest : public ::testing::Test {
protected:
    // Rows of the given IDs, named after them, of type 2 unless odd types
    // are asked for (then odd IDs have type 1).
    void Fill(const std::vector<long>& ids, bool oddTypes = false, std::optional<Bytes> content = std::nullopt)
    {
        RawDb raw = db.Raw();
        raw.Exec("BEGIN");
        for (long id : ids)
            InsertRow(raw, id, oddTypes && id % 2 ? 1 : 2, content);
        raw.Exec("COMMIT");
    }
    static void InsertRow(RawDb& raw, long id, int type, const std::optional<Bytes>& content = std::nullopt)
    {
        raw.Exec("INSERT INTO RESTABLE (ID, NAME, TYPE, KEYWORD, CONTENT) VALUES (" + std::to_string(id) + ", '" +
                 Name(id) + "', " + std::to_string(type) + ", 'k', " + (content ? "zeroblob(" +
                 std::to_string(content->size()) + ")" : "NULL") + ")");
    }
    static std::vector<long> IdsRange(long first, long last, long step = 1)
    {
        std::vector<long> ids;
        for (long id = first; id <= last; id += step)
            ids.push_back(id);
        return ids;
    }
    _ConnectionPtr Connect()
    {
        _ConnectionPtr connection;
        EXPECT_EQ(connection.CreateInstance(__uuidof(Connection)), S_OK);
        connection->Open(db.ConnectionText().c_str(), "", "", adConnectUnspecified);
        return connection;
    }
    static _variant_t On(const _ConnectionPtr& connection)
    {
        return _variant_t(static_cast<IDispatch*>(connection.GetInterfacePtr()), true);
    }
    // The IDs from the current row to the end.
    static std::vector<long> WalkOn(const _RecordsetPtr& rs)
    {
        std::vector<long> ids;
        for (; !AtEof(rs); rs->MoveNext())
            ids.push_back(Value(rs, 0));
        return ids;
    }

    TempDatabase db;
};

TEST_F(RowWindowTest, AWalkReadsManyRowsInOneQueryAndTheirFieldsInNone)
{
    Fill(IdsRange(1, 200));
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    int events;
    std::vector<long> walked;
    {
        EngineEvents counter;
        for (rs->MoveFirst(); !AtEof(rs); rs->MoveNext()) {
            long id = Value(rs, 0);
            walked.push_back(id);
            EXPECT_EQ(Utf8Of(Value(rs, 1)), Name(id));
            EXPECT_EQ(static_cast<long>(Value(rs, 2)), 2);
            EXPECT_EQ(Utf8Of(Value(rs, 3)), "k");
        }
        events = counter.Count();
    }
    EXPECT_EQ(walked, IdsRange(1, 200));
    // The first row, then a query for each 64 rows ahead (a slow run may
    // read some again when they grow old).
    EXPECT_GE(events, 4);
    EXPECT_LT(events, 50);
}

// A write through the recordset's own connection, by any of its users,
// shows at the very next move, however fresh the rows read ahead are.
TEST_F(RowWindowTest, WritesThroughTheSameConnectionShowAtTheNextMove)
{
    struct Case {
        const char* label;
        std::function<void(const _ConnectionPtr&, const _RecordsetPtr&)> write;
        long expectedId;
        std::string expectedName;
    };
    auto seek4 = [](const _RecordsetPtr& other) { ASSERT_TRUE(Seek(other, 4)); };
    const std::vector<Case> cases = {
        {"an Update by another recordset",
         [&](const _ConnectionPtr&, const _RecordsetPtr& other) {
             seek4(other);
             other->GetFields()->GetItem(1L)->PutValue("renamed by a recordset");
             other->Update();
         },
         4, "renamed by a recordset"},
        {"the connection's Execute",
         [](const _ConnectionPtr& connection, const _RecordsetPtr&) {
             connection->Execute("UPDATE RESTABLE SET NAME = 'renamed by Execute' WHERE ID = 4");
         },
         4, "renamed by Execute"},
        {"a Delete by another recordset",
         [&](const _ConnectionPtr&, const _RecordsetPtr& other) {
             seek4(other);
             other->Delete(adAffectCurrent);
         },
         5, "n5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        db.Raw().Exec("DELETE FROM RESTABLE");
        Fill(IdsRange(1, 10));
        _ConnectionPtr connection = Connect();
        _RecordsetPtr rs = OpenRecordset(On(connection));
        _RecordsetPtr other = OpenRecordset(On(connection));
        // The rows ahead are used only while young: try until a run shows
        // they were (the move to row 3 ran no query), so that seeing the
        // write proves the write set them aside.
        bool windowUsed = false;
        for (int attempt = 0; attempt < 20 && !windowUsed; ++attempt) {
            db.Raw().Exec("INSERT OR REPLACE INTO RESTABLE (ID, NAME, TYPE, KEYWORD) VALUES (4, 'n4', 2, 'k')");
            rs->MoveFirst();
            rs->MoveNext();
            {
                EngineEvents counter;
                rs->MoveNext();
                EXPECT_EQ(static_cast<long>(Value(rs, 0)), 3);
                EXPECT_EQ(Utf8Of(Value(rs, 1)), "n3");
                windowUsed = counter.Count() == 0;
            }
            c.write(connection, other);
            rs->MoveNext();
            EXPECT_EQ(static_cast<long>(Value(rs, 0)), c.expectedId);
            EXPECT_EQ(Utf8Of(Value(rs, 1)), c.expectedName);
        }
        EXPECT_TRUE(windowUsed) << "the rows read ahead were never used";
    }
}

TEST_F(RowWindowTest, ARowAddedElsewherePastTheRowsReadAheadShowsWhenTheWalkGetsThere)
{
    // IDs 2, 4, ..., 200: the rows read ahead from ID 4 end well before 199.
    Fill(IdsRange(2, 200, 2));
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    rs->MoveFirst();
    rs->MoveNext();
    ASSERT_EQ(static_cast<long>(Value(rs, 0)), 4);
    {
        RawDb raw = db.Raw();
        InsertRow(raw, 199, 2);
    }
    std::vector<long> walked = WalkOn(rs);
    std::vector<long> expected = IdsRange(4, 198, 2);
    expected.push_back(199);
    expected.push_back(200);
    EXPECT_EQ(walked, expected);
}

TEST_F(RowWindowTest, ARowAddedElsewhereWithinTheRowsReadAheadShowsOnceTheyGrowOld)
{
    Fill(IdsRange(2, 20, 2));
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    rs->MoveFirst();
    rs->MoveNext();
    ASSERT_EQ(static_cast<long>(Value(rs, 0)), 4);
    {
        RawDb raw = db.Raw();
        InsertRow(raw, 7, 2);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
    EXPECT_EQ(WalkOn(rs), (std::vector<long>{4, 6, 7, 8, 10, 12, 14, 16, 18, 20}));
}

// A row deleted by another connection after the rows ahead were read may
// still come up while they are young: its fields give the values read
// with it, and what was left in the database (its binary data) fails as
// no current record. Nothing crashes, and the walk goes on past it.
TEST_F(RowWindowTest, ARowDeletedElsewhereWithinTheRowsReadAheadReadsAsItWasOrFails)
{
    const Bytes content(100 * 1024, 0);
    Fill(IdsRange(1, 5), false, content);
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    bool staleSeen = false;
    for (int attempt = 0; attempt < 20 && !staleSeen; ++attempt) {
        {
            RawDb raw = db.Raw();
            raw.Exec("DELETE FROM RESTABLE WHERE ID = 3");
            InsertRow(raw, 3, 2, content);
        }
        rs->MoveFirst();
        rs->MoveNext();
        db.Raw().Exec("DELETE FROM RESTABLE WHERE ID = 3");
        rs->MoveNext();
        long id = Value(rs, 0);
        if (id == 3) {
            staleSeen = true;
            EXPECT_EQ(Utf8Of(Value(rs, 1)), "n3");
            EXPECT_EQ(static_cast<long>(Value(rs, 2)), 2);
            FieldPtr field = rs->GetFields()->GetItem("CONTENT");
            EXPECT_EQ(field->GetActualSize(), static_cast<long>(content.size()));
            for (int read = 0; read < 2; ++read) {
                try {
                    if (read == 0)
                        field->GetChunk(1000);
                    else
                        field->GetValue();
                    ADD_FAILURE() << "read the content of a deleted row";
                } catch (_com_error& e) {
                    EXPECT_EQ(e.Error(), AdoErrorToHResult(adErrNoCurrentRecord));
                }
            }
            rs->MoveNext();
        }
        EXPECT_EQ(WalkOn(rs), (std::vector<long>{4, 5}));
    }
    EXPECT_TRUE(staleSeen) << "the rows read ahead were never used";
}

// The module looks rows up by MoveFirst then Find; the Find then searches
// from the start itself. It must land where a Find from the first row does.
TEST_F(RowWindowTest, FindStraightAfterMoveFirstLandsWhereItDoesFromTheFirstRow)
{
    const std::vector<long> ids = {3, 4, 7, 8, 9, 12, 15, 16};
    Fill(ids, true);
    struct Criterion {
        const char* text;
        std::function<bool(long id)> meets;
    };
    const std::vector<Criterion> criteria = {
        {"ID=9", [](long id) { return id == 9; }},
        {"ID=3", [](long id) { return id == 3; }},
        {"ID=5", [](long) { return false; }},
        {"ID>7", [](long id) { return id > 7; }},
        {"NAME='N12'", [](long id) { return id == 12; }},
        {"TYPE=1", [](long id) { return id % 2 == 1; }},
        {"TYPE<>1", [](long id) { return id % 2 == 0; }},
    };
    struct Source {
        const char* sql;
        std::function<bool(long id)> holds;
    };
    const std::vector<Source> sources = {
        {"SELECT * FROM RESTABLE", [](long) { return true; }},
        {"SELECT * FROM RESTABLE WHERE TYPE = 2", [](long id) { return id % 2 == 0; }},
        {"SELECT * FROM RESTABLE WHERE ID > 100", [](long) { return false; }},
    };
    // Where the cursor stands: a row's ID, or EOF (-1) or BOF (-2).
    auto where = [](const _RecordsetPtr& rs) -> long {
        if (AtEof(rs))
            return -1;
        if (rs->GetBOF() != VARIANT_FALSE)
            return -2;
        return Value(rs, 0);
    };
    for (const Source& source : sources) {
        std::vector<long> set;
        for (long id : ids) {
            if (source.holds(id))
                set.push_back(id);
        }
        _RecordsetPtr straight = OpenRecordset(_variant_t(db.ConnectionText().c_str()), source.sql);
        _RecordsetPtr settled = OpenRecordset(_variant_t(db.ConnectionText().c_str()), source.sql);
        for (const Criterion& criterion : criteria) {
            for (long skip : {0L, 1L, 3L, 20L}) {
                for (SearchDirectionEnum direction : {adSearchForward, adSearchBackward}) {
                    SCOPED_TRACE(std::string(source.sql) + " / " + criterion.text + " skip " + std::to_string(skip) +
                                 (direction == adSearchForward ? " forward" : " backward"));
                    long expected;
                    if (direction == adSearchForward) {
                        expected = -1;
                        for (size_t i = static_cast<size_t>(skip); i < set.size(); ++i) {
                            if (criterion.meets(set[i])) {
                                expected = set[i];
                                break;
                            }
                        }
                    } else {
                        // Backward from the first row: only it can be found.
                        expected = !set.empty() && skip == 0 && criterion.meets(set[0]) ? set[0] : -2;
                    }
                    straight->MoveFirst();
                    straight->Find(criterion.text, skip, direction);
                    settled->MoveFirst();
                    settled->GetadoEOF(); // the first row is found before the search
                    settled->Find(criterion.text, skip, direction);
                    EXPECT_EQ(where(straight), expected);
                    EXPECT_EQ(where(settled), expected);
                    if (expected >= 0) {
                        EXPECT_EQ(Utf8Of(Value(straight, 1)), Name(expected));
                    }
                }
            }
        }
    }
}

// A row found by Find brings small binary data with it; larger data
// streams from the database. Either way GetChunk goes on where it stopped
// and starts over when another field is read.
TEST_F(RowWindowTest, ContentOfAFoundRowReadsTheSameWhateverItsSize)
{
    const std::vector<size_t> sizes = {0, 1, 1000, 64 * 1024 - 1, 64 * 1024, 64 * 1024 + 1, 1 << 20};
    std::vector<long> idsOfSizes;
    {
        RawDb raw = db.Raw();
        for (size_t i = 0; i < sizes.size(); ++i)
            idsOfSizes.push_back(static_cast<long>(
                raw.Insert({0, "s", 2, std::nullopt, Pattern(sizes[i], static_cast<unsigned>(i))})));
    }
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    for (size_t i = 0; i < sizes.size(); ++i) {
        SCOPED_TRACE("content of " + std::to_string(sizes[i]) + " bytes");
        const Bytes content = Pattern(sizes[i], static_cast<unsigned>(i));
        ASSERT_TRUE(Seek(rs, idsOfSizes[i]));
        FieldPtr field = rs->GetFields()->GetItem("CONTENT");
        EXPECT_EQ(field->GetActualSize(), static_cast<long>(sizes[i]));
        const long piece = 7000;
        Bytes first = BytesOf(field->GetChunk(piece));
        EXPECT_EQ(first, Bytes(content.begin(), content.begin() + static_cast<long>(std::min<size_t>(piece, sizes[i]))));
        Bytes all = first;
        for (int calls = 0; calls < 1000; ++calls) {
            _variant_t chunk = field->GetChunk(piece);
            if (chunk.vt == VT_NULL)
                break;
            Bytes bytes = BytesOf(chunk);
            all.insert(all.end(), bytes.begin(), bytes.end());
        }
        EXPECT_EQ(all, content);
        EXPECT_EQ(BytesOf(field->GetValue()), content);
        // Reading another field starts the stream over.
        EXPECT_EQ(BytesOf(field->GetChunk(piece)), first);
        Value(rs, 1);
        EXPECT_EQ(BytesOf(field->GetChunk(piece)), first);
    }
}

// Edits of a row whose values were read with it: pending values show, and
// what Update stores is what the row reads afterwards, also from a walk.
TEST_F(RowWindowTest, EditsOfARowReadAheadShowAndStay)
{
    Fill(IdsRange(1, 10));
    _RecordsetPtr rs = OpenRecordset(_variant_t(db.ConnectionText().c_str()));
    rs->MoveFirst();
    rs->MoveNext();
    rs->MoveNext();
    ASSERT_EQ(static_cast<long>(Value(rs, 0)), 3);
    rs->GetFields()->GetItem(1L)->PutValue("edited");
    rs->GetFields()->GetItem(4L)->AppendChunk(Chunk(Bytes{1, 2, 3}));
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "edited");
    EXPECT_EQ(rs->GetFields()->GetItem(4L)->GetActualSize(), 3);
    rs->MoveNext(); // stores the edit
    EXPECT_EQ(static_cast<long>(Value(rs, 0)), 4);
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "n4");
    rs->MovePrevious();
    EXPECT_EQ(Utf8Of(Value(rs, 1)), "edited");
    EXPECT_EQ(BytesOf(Value(rs, 4)), (Bytes{1, 2, 3}));
    std::optional<RawRow> stored = db.Raw().Read(3);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->name, std::optional<std::string>("edited"));
    EXPECT_EQ(stored->content, std::optional<Bytes>(Bytes{1, 2, 3}));
}

} // namespace
