#include "Native.h"
#include "SqliteStore.h"
#include "store/RawColumns.h"
#include "store/StoredText.h"
#include "store/intake/KeywordPrints.h"

#include <QStringEncoder>

using namespace Qt::StringLiterals;

namespace {

// The keywords as stored, in UTF-8, one after another in text; ends[i] is where keyword i ends.
void utf8(const QList<QString>& keywords, QByteArray& text, std::vector<qsizetype>& ends)
{
    qsizetype most = 0;
    for (const QString& keyword : keywords)
        most += keyword.size() * 3;
    text.resize(most);
    ends.reserve(size_t(keywords.size()));
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* out = text.data();
    for (const QString& keyword : keywords) {
        out = encoder.appendToBuffer(out, storedText(keyword));
        ends.push_back(out - text.constData());
    }
    text.resize(out - text.constData());
}

QByteArrayView keywordAt(const QByteArray& text, const std::vector<qsizetype>& ends, size_t i)
{
    const qsizetype from = i == 0 ? 0 : ends[i - 1];
    return QByteArrayView(text).sliced(from, ends[i] - from);
}

} // namespace

Status SqliteStore::loadPrints(KeywordPrints& into)
{
    std::vector<KeywordPrints::Print> halves[2];
    qint64 tops[2] = {0, 0};
    const Status read = scanInHalves([&](sqlite3* db, qint64 from, qint64 to, int half) {
        std::vector<KeywordPrints::Print>& prints = halves[half];
        NativeStatement range(db, "SELECT keywords FROM Korvels WHERE id BETWEEN ?1 AND ?2");
        if (!range)
            return Status::failure(range.error());
        range.bind(1, from);
        range.bind(2, to);
        // The rows fill at most the ids between; room for more than a store's worth is never touched.
        prints.reserve(size_t(std::clamp<qint64>(to - from + 1, 0, qint64(1) << 25)));
        while (range.next())
            prints.push_back(KeywordPrints::of(range.text(0)));
        if (range.failed())
            return Status::failure(range.error());
        KeywordPrints::sort(prints);
        tops[half] = to;
        return Status();
    });
    if (!read)
        return read;
    for (auto& half : halves)
        into.addStored(std::move(half));
    into.setSeenUpTo(std::max(tops[0], tops[1]));
    return {};
}

Status SqliteStore::catchUp(KeywordPrints& seen)
{
    // The newest row seen still holding a keyword among the prints means no row from there down was deleted and
    // its id handed out again; otherwise every print is read afresh.
    if (const qint64 upTo = seen.seenUpTo(); upTo > 0) {
        NativeStatement newest(handle(), "SELECT keywords FROM Korvels WHERE id = ?1");
        newest.bind(1, upTo);
        const bool same = newest.next() && seen.contains(KeywordPrints::of(newest.text(0)));
        if (newest.failed())
            return Status::failure(newest.error());
        if (!same) {
            seen.clearStored();
            return loadPrints(seen);
        }
    }
    NativeStatement newer(handle(), "SELECT id, keywords FROM Korvels WHERE id > ?1 ORDER BY id");
    newer.bind(1, seen.seenUpTo());
    while (newer.next()) {
        seen.addStored(KeywordPrints::of(newer.text(1)));
        seen.setSeenUpTo(newer.integer(0));
    }
    return newer.failed() ? Status::failure(newer.error()) : Status();
}

Status SqliteStore::addChunk(const QList<QString>& keywords, const QList<KeywordMetrics>& metrics, KeywordPrints* seen,
                             ChunkCounts& counts)
{
    counts = {};
    if (const Status safe = beforeWrite(); !safe)
        return safe;
    if (!m_bulk) {
        // Each copy of the log into the file waits for the disk twice, and copies again the index pages every
        // chunk touches: during a batch, once every 160 MB or so instead of every 4 MB.
        m_bulk = true;
        (void)m_connection.run(u"PRAGMA wal_autocheckpoint = %1"_s.arg(BulkCheckpointPages));
    }
    QString refused;
    ChunkCounts done;
    const Status committed = m_connection.transaction([&]() -> Status {
        // Under the write lock: what other connections stored since this batch last looked, so that two
        // batches at once into one file store no keyword twice.
        if (seen) {
            if (const Status caught = catchUp(*seen); !caught)
                return caught;
        }
        // The chunk's keywords as UTF-8, one after another in one buffer.
        QByteArray text;
        std::vector<qsizetype> ends;
        utf8(keywords, text, ends);
        std::vector<QByteArrayView> fresh;
        fresh.reserve(ends.size());
        const bool numbered = metrics.size() == keywords.size();
        std::vector<const KeywordMetrics*> freshMetrics;
        // Under the write lock new rows take the ids above the highest, one after another.
        qint64 firstId = 1;
        if (numbered) {
            NativeStatement top(handle(), "SELECT coalesce(max(id), 0) FROM Korvels");
            if (!top.next())
                return Status::failure(top.error());
            firstId = top.integer(0) + 1;
        }
        std::vector<KeywordPrints::Print> prints;
        std::vector<char> isNew(ends.size(), 1);
        if (seen) {
            prints.reserve(ends.size());
            for (size_t i = 0; i < ends.size(); ++i)
                prints.push_back(KeywordPrints::of(keywordAt(text, ends, i)));
            seen->insert(prints, isNew);
        }
        for (size_t i = 0; i < ends.size(); ++i) {
            if (isNew[i]) {
                fresh.push_back(keywordAt(text, ends, i));
                if (numbered)
                    freshMetrics.push_back(&metrics.at(qsizetype(i)));
            } else {
                ++done.duplicates;
            }
        }
        const QString failed = insertKeywords(fresh, done.added);
        if (seen && done.added > 0)
            seen->setSeenUpTo(sqlite3_last_insert_rowid(handle()));
        // A statement that failed without ending the transaction keeps the keywords before it; one that ended
        // it (a full disk) leaves nothing to commit.
        if (!failed.isEmpty() && sqlite3_get_autocommit(handle()))
            return Status::failure(failed);
        if (numbered && done.added > 0) {
            if (sqlite3_last_insert_rowid(handle()) != firstId + done.added - 1)
                return Status::failure(u"新关键词的编号不连续，无法保存它们的数字。"_s);
            std::vector<std::pair<qint64, const KeywordMetrics*>> rows;
            QList<const KeywordMetrics*> kept;
            for (qint64 i = 0; i < done.added; ++i) {
                const KeywordMetrics* m = freshMetrics[size_t(i)];
                if (!m->isEmpty()) {
                    rows.emplace_back(firstId + i, m);
                    kept << m;
                    done.numbered += m->hasNumbers() ? 1 : 0;
                }
            }
            const auto layouts = rawColumnIds(kept);
            if (!layouts)
                return Status::of(layouts);
            if (const QString refusedNumbers = insertMetrics(rows, *layouts); !refusedNumbers.isEmpty())
                return Status::failure(refusedNumbers);
        }
        refused = failed;
        return {};
    });
    if (committed)
        counts = done;
    if (!refused.isEmpty())
        return Status::failure(refused);
    return committed;
}

QString SqliteStore::insertKeywords(const std::vector<QByteArrayView>& keywords, qint64& added)
{
    // Many rows to a statement: a statement run per row costs about as much again as the rows themselves.
    static const QByteArray many = [] {
        QByteArray sql = "INSERT INTO Korvels(keywords, isSet, statue, statue1) VALUES (?1, 0, 0, 0)";
        for (int row = 2; row <= RowsPerInsert; ++row)
            sql += ", (?" + QByteArray::number(row) + ", 0, 0, 0)";
        return sql;
    }();
    NativeStatement group(handle(), many.constData());
    NativeStatement single(handle(), "INSERT INTO Korvels(keywords, isSet, statue, statue1) VALUES (?1, 0, 0, 0)");
    if (!group || !single)
        return group ? single.error() : group.error();
    size_t next = 0;
    for (; next + RowsPerInsert <= keywords.size(); next += RowsPerInsert) {
        for (int row = 0; row < RowsPerInsert; ++row)
            group.bindStatic(row + 1, keywords[next + size_t(row)]);
        if (!group.run())
            break;
        added += RowsPerInsert;
    }
    // The rest one by one; after a group that failed, up to the keyword that fails alone, where the transaction
    // still stands.
    for (; next < keywords.size(); ++next) {
        if (sqlite3_get_autocommit(handle()))
            return group.error();
        single.bindStatic(1, keywords[next]);
        if (!single.run())
            return single.error();
        ++added;
    }
    return {};
}

QString SqliteStore::insertMetrics(const std::vector<std::pair<qint64, const KeywordMetrics*>>& rows,
                                   const QHash<QString, qint64>& rawColumns)
{
    constexpr int Columns = 8;
    static const QByteArray many = [] {
        QByteArray sql = "INSERT INTO KeywordMetrics(id, volume, volumeHigh, competition, bidLow, bidHigh, rawColumns,"
                         " raw) VALUES ";
        for (int row = 0; row < RowsPerInsert; ++row) {
            sql += row == 0 ? "(" : ", (";
            for (int column = 1; column <= Columns; ++column)
                sql += (column == 1 ? "?" : ", ?") + QByteArray::number(row * Columns + column);
            sql += ")";
        }
        return sql;
    }();
    NativeStatement group(handle(), many.constData());
    NativeStatement single(handle(),
                           "INSERT INTO KeywordMetrics(id, volume, volumeHigh, competition, bidLow, "
                           "bidHigh, rawColumns, raw) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    if (!group || !single)
        return group ? single.error() : group.error();
    RawColumns::LayoutIds layouts(rawColumns);
    const auto bind = [&](NativeStatement& s, int at, const std::pair<qint64, const KeywordMetrics*>& row) {
        const KeywordMetrics& m = *row.second;
        s.bind(at, row.first);
        const auto whole = [&](int column, const std::optional<qint64>& v) {
            v ? s.bind(at + column, *v) : s.bindNull(at + column);
        };
        const auto real = [&](int column, const std::optional<double>& v) {
            v ? s.bindReal(at + column, *v) : s.bindNull(at + column);
        };
        whole(1, m.volume);
        whole(2, m.volumeHigh);
        real(3, m.competition);
        real(4, m.bidLow);
        real(5, m.bidHigh);
        const bool raw = !m.raw.isEmpty();
        raw ? s.bind(at + 6, layouts.of(m.rawNames)) : s.bindNull(at + 6);
        raw ? s.bindStatic(at + 7, QStringView(m.raw)) : s.bindNull(at + 7);
    };
    size_t next = 0;
    for (; next + RowsPerInsert <= rows.size(); next += RowsPerInsert) {
        for (int row = 0; row < RowsPerInsert; ++row)
            bind(group, row * Columns + 1, rows[next + size_t(row)]);
        if (!group.run())
            return group.error();
    }
    for (; next < rows.size(); ++next) {
        bind(single, 1, rows[next]);
        if (!single.run())
            return single.error();
    }
    return {};
}

Result<qint64> SqliteStore::importRows(const QList<KeywordRow>& rows)
{
    if (const Status safe = beforeWrite(); !safe)
        return safe.as<qint64>();
    const Status done = m_connection.transaction([&]() -> Status {
        NativeStatement insert(handle(),
                               "INSERT INTO Korvels(id, keywords, isSet, statue, statue1, classcode, "
                               "classname) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        if (!insert)
            return Status::failure(insert.error());
        for (const KeywordRow& row : rows) {
            if (row.id == 0)
                insert.bindNull(1);
            else
                insert.bind(1, row.id);
            insert.bind(2, storedText(row.keywords).toUtf8());
            insert.bind(3, row.isSet);
            insert.bind(4, row.statue);
            insert.bind(5, row.statue1);
            insert.bind(6, storedText(row.classcode).toUtf8());
            insert.bind(7, storedText(row.classname).toUtf8());
            if (!insert.run())
                return Status::failure(insert.error());
        }
        return {};
    });
    if (!done)
        return done.as<qint64>();
    return qint64(rows.size());
}
