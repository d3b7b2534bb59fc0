#include "module/db/SplitReadCursor.h"

#include "module/db/DateMillis.h"
#include "module/db/RowStore.h"
#include "module/db/TsqliteRows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <tsqlite/tsqlite.h>

namespace scadlav::db {
namespace {

// Below this many rows a second thread gains too little to be worth it.
constexpr std::int64_t kMinRowsToSplit = 20000;
// How long opening may wait for a writer to finish before reading on one connection.
constexpr int kWriteHoldWaitMs = 50;
// Rows buffered by the helper before it hands them over, and the most it keeps waiting.
constexpr std::size_t kChunkRows = 1024;
constexpr std::size_t kMaxBufferedBytes = std::size_t{512} << 20;
// The longest a fetch waits for the helper's next rows before it returns with what it has.
constexpr std::chrono::milliseconds kLongestWait{30};

// Relative cost of a row, measured on the schedule's show statement: read by the record set's
// connection and stored; read by the helper and buffered; taken from the buffer and stored; and
// passed over by the helper's statement on its way to the first row of its part (one test in the
// plan's outermost loop).
constexpr double kHeadRowCost = 14.0;
constexpr double kTailRowCost = 12.0;
constexpr double kReplayRowCost = 3.5;
constexpr double kSkipRowCost = 0.2;

// The outer row at which both parts end together, the first part having walked `walked` of the
// `rows` outer rows when the helper starts on the second. Rows are taken as spread evenly over
// the outer rows: an uneven spread only makes the parts less even.
std::int64_t balancedSplit(std::int64_t rows, std::int64_t walked) {
    const double split = (static_cast<double>(walked) * kHeadRowCost +
                          static_cast<double>(rows) * (kTailRowCost - kReplayRowCost)) /
                         (kHeadRowCost - kReplayRowCost + kTailRowCost - kSkipRowCost);
    return std::max<std::int64_t>(walked, static_cast<std::int64_t>(split));
}

// Rows the helper read, as bytes: per cell its kind (the backend interface's), then an integer or
// a date as a variable-length number (zigzag, 7 bits a byte), a real as 8 bytes, a text as its
// length so written and its bytes. Small codes and short texts, most of the schedule's cells,
// take a byte or two.
char* putVarint(char* at, std::uint64_t v) {
    while (v >= 0x80) {
        *at++ = static_cast<char>(v | 0x80);
        v >>= 7;
    }
    *at++ = static_cast<char>(v);
    return at;
}

std::uint64_t zigzag(std::int64_t v) {
    return (static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63);
}

std::int64_t unzigzag(std::uint64_t z) {
    return static_cast<std::int64_t>(z >> 1) ^ -static_cast<std::int64_t>(z & 1);
}

std::uint64_t getVarint(const char*& at) {
    std::uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<std::uint8_t>(*at++);
        v |= std::uint64_t{byte & 0x7Fu} << shift;
        if (byte < 0x80)
            return v;
    }
}

// A cell of a date column arrives as text and is kept as milliseconds, converted here on the
// helper's thread rather than by the store on the reading one.
void encodeRow(std::string& out, const tsqlite::Cell* cells, std::size_t count,
               const std::vector<bool>& dates) {
    // Written through a pointer into room made once for the row: the helper's thread is the
    // longer of the two, and a checked append per byte was a tenth of its time.
    constexpr std::size_t kLongestCell = 1 + 10; // kind and a 64-bit varint
    std::size_t room = count * kLongestCell;
    for (std::size_t k = 0; k < count; ++k)
        if (cells[k].kind == tsqlite::Cell::Kind::Text || cells[k].kind == tsqlite::Cell::Kind::Blob)
            room += cells[k].text.size();
    const std::size_t start = out.size();
    out.resize(start + room);
    char* at = out.data() + start;
    const auto put = [&at](Cell::Kind kind) { *at++ = static_cast<char>(kind); };
    const auto putBytes = [&at](std::string_view bytes) {
        at = putVarint(at, bytes.size());
        std::memcpy(at, bytes.data(), bytes.size());
        at += bytes.size();
    };
    for (std::size_t k = 0; k < count; ++k) {
        const tsqlite::Cell& c = cells[k];
        switch (c.kind) {
        case tsqlite::Cell::Kind::Null:
            put(Cell::Kind::Null);
            break;
        case tsqlite::Cell::Kind::Integer:
            put(Cell::Kind::Int);
            at = putVarint(at, zigzag(c.i));
            break;
        case tsqlite::Cell::Kind::Real:
            put(Cell::Kind::Double);
            std::memcpy(at, &c.r, sizeof c.r);
            at += sizeof c.r;
            break;
        case tsqlite::Cell::Kind::Text:
            if (k < dates.size() && dates[k]) {
                if (const std::optional<std::int64_t> ms = millisFromText(c.text)) {
                    put(Cell::Kind::DateTime);
                    at = putVarint(at, zigzag(*ms));
                    break;
                }
            }
            put(Cell::Kind::Text);
            putBytes(c.text);
            break;
        case tsqlite::Cell::Kind::Blob:
            put(Cell::Kind::Binary);
            putBytes(c.text);
            break;
        }
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
}

// Reads one row back from `at`; the texts view the buffer.
const char* decodeRow(const char* at, Cell* cells, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        Cell& c = cells[k];
        c.kind = static_cast<Cell::Kind>(*at++);
        c.scale = 0;
        switch (c.kind) {
        case Cell::Kind::Int:
        case Cell::Kind::DateTime:
            c.i = unzigzag(getVarint(at));
            break;
        case Cell::Kind::Double:
            std::memcpy(&c.d, at, sizeof c.d);
            at += sizeof c.d;
            break;
        case Cell::Kind::Text:
        case Cell::Kind::Binary: {
            const std::size_t size = static_cast<std::size_t>(getVarint(at));
            c.text = std::string_view(at, size);
            at += size;
            break;
        }
        default:
            break;
        }
    }
    return at;
}

std::atomic<std::int64_t> g_splitReads{0};

// What the two threads share.
struct Handover {
    std::mutex mutex;
    std::condition_variable changed;
    // The first part's query while it runs; the helper limits it to the outer rows before its own.
    tsqlite::Query* head = nullptr;
    // Set by the helper when it limits the first part: the first outer row of its own part.
    std::int64_t splitRow = -1;
    // The outer rows of the statement, once a part has walked them all.
    std::int64_t outerRows = -1;
    struct Chunk {
        std::string bytes;
        std::size_t rows = 0;
    };
    std::deque<Chunk> chunks;
    std::size_t bufferedBytes = 0;
    bool tailDone = false;
    std::vector<tsqlite::Error> errors;
    std::atomic<bool> stop{false};
};

// The helper's sink: rows into chunks, handed over as they fill.
class ChunkSink : public tsqlite::ResultSink {
public:
    explicit ChunkSink(Handover& handover) : m_handover(handover) {}
    void beginResultSet(const std::vector<tsqlite::Column>& columns) override {
        m_dates.clear();
        for (const tsqlite::Column& c : columns)
            m_dates.push_back(storageClassOf(columnInfoFromDeclaredType(c.declType).type) ==
                              StorageClass::DateTime);
    }
    void row(const tsqlite::Cell* cells, std::size_t count) override {
        encodeRow(m_chunk.bytes, cells, count, m_dates);
        ++m_rows;
        if (++m_chunk.rows == kChunkRows)
            flush();
    }
    void endResultSet() override { flush(); }
    std::int64_t rows() const { return m_rows; }

    void flush() {
        if (m_chunk.rows == 0)
            return;
        const std::size_t size = m_chunk.bytes.size();
        {
            std::unique_lock lock(m_handover.mutex);
            m_handover.changed.wait(
                lock, [&] { return m_handover.bufferedBytes < kMaxBufferedBytes || m_handover.stop.load(); });
            m_handover.bufferedBytes += size;
            m_handover.chunks.push_back(std::move(m_chunk));
            m_handover.changed.notify_all();
        }
        // The next chunk is about as large: its room is made once.
        m_chunk = {};
        m_chunk.bytes.reserve(size + size / 4);
    }

private:
    Handover& m_handover;
    Handover::Chunk m_chunk;
    std::vector<bool> m_dates;
    std::int64_t m_rows = 0;
};

class NoRowSink : public tsqlite::ResultSink {
public:
    void beginResultSet(const std::vector<tsqlite::Column>&) override {}
    void row(const tsqlite::Cell*, std::size_t) override {}
    void endResultSet() override {}
};

// The helper thread: learns how many outer rows the plan walks, limits the first part to those
// before the split and reads from there on. Runs inside the helper's snapshot, which it ends.
//
// The outer rows are counted by running the statement with all of them left out (one test a
// row, no join), unless an earlier read of the same statement gave their number. A number that is
// off only makes the parts less even; one too high can put the split past the last outer row, and
// then the helper's part is empty: having walked them all it knows their number, and splits
// again, after the outer rows the first part has already walked.
void readTail(Handover& h, tsqlite::Connection& helper, const std::string& text, std::int64_t knownRows) {
    std::vector<tsqlite::Error> errors;
    auto finish = [&](bool split) {
        helper.endSnapshot();
        std::lock_guard lock(h.mutex);
        if (!split)
            errors.clear(); // the first part then reads every row; nothing is lost
        h.errors = std::move(errors);
        h.tailDone = true;
        h.changed.notify_all();
    };
    std::int64_t rows = knownRows;
    bool guessed = rows >= 0;
    // Opened even when the number is known: a statement this connection cannot run (one that
    // reads a temporary table of the record set's connection) is then read by that one alone.
    std::unique_ptr<tsqlite::Query> counting = helper.openQuery(
        text, tsqlite::Connection::QueryForm::FromOuterRow, std::numeric_limits<std::int64_t>::max(), errors);
    if (!counting)
        return finish(false);
    if (rows < 0) {
        NoRowSink none;
        while (counting && !counting->done() && !h.stop)
            if (!counting->fetch(none, kChunkRows, errors))
                return finish(false);
        rows = counting->outerRowsWalked();
    }
    counting.reset();
    for (;;) {
        if (rows < kMinRowsToSplit || h.stop)
            return finish(false);
        std::int64_t split = -1;
        {
            std::lock_guard lock(h.mutex);
            if (!h.head)
                return finish(false); // the first part is already read
            // Never before the outer rows the first part has walked.
            const std::int64_t at = balancedSplit(rows, h.head->outerRowsWalked());
            if (rows - at >= kMinRowsToSplit / 2) {
                split = h.head->limitOuterRows(at);
                h.splitRow = split;
                h.changed.notify_all();
            }
        }
        if (split < 0)
            return finish(false);
        std::unique_ptr<tsqlite::Query> tail =
            helper.openQuery(text, tsqlite::Connection::QueryForm::FromOuterRow, split, errors);
        if (!tail) {
            if (errors.empty())
                errors.push_back({kErrGeneric, "The rest of the rows could not be read.", "HY000", 0, text});
            return finish(true);
        }
        ++g_splitReads;
        ChunkSink sink(h);
        while (!tail->done() && !h.stop)
            if (!tail->fetch(sink, kChunkRows, errors))
                break;
        const bool walkedAll = tail->done() && errors.empty() && !h.stop;
        const std::int64_t walked = tail->outerRowsWalked();
        tail.reset();
        if (walkedAll) {
            std::lock_guard lock(h.mutex);
            h.outerRows = walked;
        }
        if (h.stop && errors.empty())
            errors.push_back({kErrGeneric, "The reading of the rows was stopped.", "HY008", 0, {}});
        if (sink.rows() > 0 || !guessed || !walkedAll)
            return finish(true);
        rows = walked;
        guessed = false;
    }
}

// Passes the first part's rows on, keeping its end to itself: the rows of the second part follow.
class HeadSink : public tsqlite::ResultSink {
public:
    explicit HeadSink(SinkAdapter& adapter) : m_adapter(adapter) {}
    void beginResultSet(const std::vector<tsqlite::Column>& columns) override {
        columnCount = columns.size();
        m_adapter.beginResultSet(columns);
    }
    void row(const tsqlite::Cell* cells, std::size_t count) override {
        ++rows;
        m_adapter.row(cells, count);
    }
    void endResultSet() override { ended = true; }

    std::size_t columnCount = 0;
    std::int64_t rows = 0;
    bool ended = false;

private:
    SinkAdapter& m_adapter;
};

class SplitReadCursor : public IRowCursor {
public:
    SplitReadCursor(std::unique_ptr<tsqlite::Query> head, std::unique_ptr<tsqlite::Connection> helper,
                    std::string text, std::shared_ptr<RowCountMemory> counts)
        : m_head(std::move(head)), m_helper(std::move(helper)), m_text(std::move(text)),
          m_counts(std::move(counts)) {
        const std::int64_t known = m_counts ? m_counts->rows(m_text) : -1;
        m_handover.head = m_head.get();
        m_worker = std::thread([this, known] { readTail(m_handover, *m_helper, m_text, known); });
    }

    ~SplitReadCursor() override { stopHelper(); }

    bool fetch(IRowSink& sink, std::size_t maxRows, std::vector<ProviderError>& errors) override {
        if (m_done)
            return true;
        m_adapter.setTarget(&sink);
        m_target = &sink;
        std::size_t handed = 0;
        while (m_head && handed < maxRows) {
            const std::int64_t before = m_headSink.rows;
            std::vector<tsqlite::Error> list;
            if (!m_head->fetch(m_headSink, maxRows - handed, list)) {
                moveErrors(list, errors);
                return fail();
            }
            handed += static_cast<std::size_t>(m_headSink.rows - before);
            if (m_head->done()) {
                // Every row of the first part is read: up to the split, or every row when the
                // helper has not split (it will not any more).
                bool split = false;
                {
                    std::lock_guard lock(m_handover.mutex);
                    m_handover.head = nullptr;
                    split = m_handover.splitRow >= 0;
                    if (!split)
                        m_handover.outerRows = m_head->outerRowsWalked();
                }
                m_head.reset();
                if (!split) {
                    stopHelper();
                    return finish();
                }
            }
        }
        while (!m_head && handed < maxRows) {
            if (m_chunk.rows == m_chunkRow) {
                // A short wait, so that the window keeps answering while the helper catches up;
                // the caller asks again.
                std::unique_lock lock(m_handover.mutex);
                if (!m_handover.changed.wait_for(lock, kLongestWait, [&] {
                        return !m_handover.chunks.empty() || m_handover.tailDone;
                    }))
                    return true;
                if (m_handover.chunks.empty()) {
                    if (!m_handover.errors.empty()) {
                        moveErrors(m_handover.errors, errors);
                        lock.unlock();
                        return fail();
                    }
                    lock.unlock();
                    return finish();
                }
                m_handover.bufferedBytes -= m_handover.chunks.front().bytes.size();
                m_chunk = std::move(m_handover.chunks.front());
                m_handover.chunks.pop_front();
                m_handover.changed.notify_all();
                m_chunkRow = 0;
                m_at = m_chunk.bytes.data();
                m_cells.resize(m_headSink.columnCount);
            }
            for (; m_chunkRow < m_chunk.rows && handed < maxRows; ++m_chunkRow, ++handed) {
                m_at = decodeRow(m_at, m_cells.data(), m_cells.size());
                m_target->row(m_cells.data(), m_cells.size());
            }
        }
        return true;
    }

    bool done() const override { return m_done; }

private:
    void stopHelper() {
        if (!m_worker.joinable())
            return;
        {
            std::lock_guard lock(m_handover.mutex);
            m_handover.stop = true;
            m_handover.changed.notify_all();
        }
        m_helper->interrupt();
        m_worker.join();
    }
    bool finish() {
        stopHelper();
        m_done = true;
        if (m_counts && m_handover.outerRows >= 0)
            m_counts->remember(m_text, m_handover.outerRows);
        m_adapter.endResultSet();
        return true;
    }
    bool fail() {
        {
            std::lock_guard lock(m_handover.mutex);
            m_handover.head = nullptr;
        }
        m_head.reset();
        stopHelper();
        m_done = true;
        return false;
    }

    std::unique_ptr<tsqlite::Query> m_head;
    std::unique_ptr<tsqlite::Connection> m_helper;
    const std::string m_text;
    std::shared_ptr<RowCountMemory> m_counts;
    SinkAdapter m_adapter{nullptr};
    HeadSink m_headSink{m_adapter};
    Handover m_handover;
    std::thread m_worker;
    Handover::Chunk m_chunk;
    std::size_t m_chunkRow = 0;
    const char* m_at = nullptr;
    std::vector<Cell> m_cells;
    IRowSink* m_target = nullptr;
    bool m_done = false;
};

} // namespace

std::int64_t splitReadsStarted() {
    return g_splitReads.load();
}

std::int64_t RowCountMemory::rows(const std::string& text) const {
    const auto it = m_rows.find(text);
    return it == m_rows.end() ? -1 : it->second;
}

void RowCountMemory::remember(const std::string& text, std::int64_t rows) {
    constexpr std::size_t kStatementsKept = 32;
    if (m_rows.size() >= kStatementsKept && !m_rows.contains(text))
        m_rows.clear();
    m_rows[text] = rows;
}

std::unique_ptr<IRowCursor> openSplitRead(tsqlite::Connection& connection, std::string_view text,
                                          std::shared_ptr<RowCountMemory> counts) {
    const std::string& path = connection.path();
    if (path.empty() || path == ":memory:" || !connection.isIdle())
        return nullptr;
    std::vector<tsqlite::Error> ignored; // any failure here reads on one connection instead
    std::unique_ptr<tsqlite::Query> head =
        connection.openQuery(text, tsqlite::Connection::QueryForm::FromOuterRow, 0, ignored);
    if (!head || head->sortsRows())
        return nullptr;
    std::unique_ptr<tsqlite::Connection> helper = tsqlite::Connection::openReader(path, ignored);
    if (!helper)
        return nullptr;
    {
        // Nothing commits while both snapshots are taken: the two parts read the same rows. Both
        // parts also read the server's clock at the same moment, the first part's, as one
        // statement would: the helper's statement starts only after its count.
        std::unique_ptr<tsqlite::WriteHold> hold = tsqlite::WriteHold::tryHold(path, kWriteHoldWaitMs);
        auto clock = std::make_shared<tsqlite::ClockFreeze>();
        connection.freezeClock(clock);
        const bool started = hold && head->start(ignored);
        connection.freezeClock(nullptr);
        helper->freezeClock(clock);
        if (!started || !helper->beginSnapshot(ignored))
            return nullptr;
    }
    try {
        return std::make_unique<SplitReadCursor>(std::move(head), std::move(helper), std::string(text),
                                                 std::move(counts));
    } catch (const std::system_error&) { // no thread to be had: read on one connection
        return nullptr;
    }
}

} // namespace scadlav::db
