#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sqlite3.h>

// A statement on SQLite's own interface, for reading and writing many rows: a QSqlQuery would copy every value
// into a QVariant, which makes a million-line batch several times slower.
class NativeStatement
{
public:
    NativeStatement(sqlite3* db, const char* sql)
        : m_db(db)
    {
        if (!db || sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~NativeStatement() { sqlite3_finalize(m_statement); }
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    QString error() const { return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("数据库未打开。"); }
    void bind(int column, const QByteArray& text)
    {
        sqlite3_bind_text(m_statement, column, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    }
    // Text that stays put until the statement has run.
    void bindStatic(int column, QByteArrayView text)
    {
        sqlite3_bind_text(m_statement, column, text.constData(), int(text.size()), SQLITE_STATIC);
    }
    // The same for UTF-16 text, which SQLite turns into the file's UTF-8 itself.
    void bindStatic(int column, QStringView text)
    {
        sqlite3_bind_text16(m_statement, column, text.utf16(), int(text.size() * 2), SQLITE_STATIC);
    }
    void bind(int column, qint64 value) { sqlite3_bind_int64(m_statement, column, value); }
    void bindNull(int column) { sqlite3_bind_null(m_statement, column); }
    void bindReal(int column, double value) { sqlite3_bind_double(m_statement, column, value); }
    // Runs an insert; false with the reason in error() when the store refused it.
    bool run()
    {
        const int rc = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        return rc == SQLITE_DONE;
    }
    // Steps a query; false at its end or on an error.
    bool next() { return (m_rc = sqlite3_step(m_statement)) == SQLITE_ROW; }
    bool failed() const { return m_rc != SQLITE_DONE && m_rc != SQLITE_ROW; }
    void reset() { sqlite3_reset(m_statement); }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    QByteArrayView text(int column) const
    {
        return {reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column)),
                sqlite3_column_bytes(m_statement, column)};
    }
    QString string(int column) const { return QString::fromUtf8(text(column)); }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    int m_rc = SQLITE_DONE;
};
