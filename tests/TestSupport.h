#pragma once

#include "store/Store.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// Test-side access to a store file: set up states the program itself never makes, and read back what it wrote.
class RawDb
{
public:
    explicit RawDb(const QString& path)
        : m_name(u"raw-"_s + path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    bool exec(const QString& sql, const QVariantList& values = {}) { return run(sql, values).isActive(); }

    // The rows of a query, each row's columns joined by '|'.
    QStringList rows(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q = run(sql, values);
        QStringList out;
        while (q.next()) {
            QStringList columns;
            for (int i = 0; i < q.record().count(); ++i)
                columns << q.value(i).toString();
            out << columns.join(u'|');
        }
        return out;
    }

    QString value(const QString& sql, const QVariantList& values = {})
    {
        const QStringList r = rows(sql, values);
        return r.isEmpty() ? QString() : r.first();
    }

private:
    QSqlQuery run(const QString& sql, const QVariantList& values)
    {
        QSqlQuery q(QSqlDatabase::database(m_name));
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec())
            qWarning() << sql << q.lastError().text();
        return q;
    }

    QString m_name;
};

// A fresh store file in its own temporary folder.
struct TempStore
{
    QTemporaryDir dir;
    QString path = dir.filePath(u"Data.db"_s);

    TempStore() { QVERIFY(Store::create(path).ok()); }
};

// The fixture of the window tests: a fresh store, the main window on it, and every message box and dialog
// answered in memory. Test classes derive from it; init and cleanup run around each test.
class WindowTest : public QObject
{
    Q_OBJECT
protected slots:
    void init()
    {
        MessageBox::setCapturing(true);
        m_temp = std::make_unique<TempStore>();
        m_store = std::make_unique<Store>();
        QVERIFY(m_store->open(m_temp->path).ok());
        m_raw = std::make_unique<RawDb>(m_temp->path);
        m_dialogsShown = 0;
    }
    void cleanup()
    {
        Modal::setDriver({});
        m_window.reset();
        m_store.reset();
        m_raw.reset();
        m_temp.reset();
        MessageBox::setCapturing(false);
    }

protected:
    // Shows the window as the program does; quiet drops the messages of its start.
    frmKorvel* open(bool quiet = false)
    {
        m_window = std::make_unique<frmKorvel>(*m_store);
        new QAbstractItemModelTester(m_window->gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                     m_window->gridModel());
        m_window->Form_Load();
        m_window->show();
        if (quiet)
            MessageBox::takeShown();
        return m_window.get();
    }
    template <typename T = QWidget> T* child(const QString& name) const
    {
        auto* widget = m_window->findChild<T*>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QLineEdit* txtKey() const { return child<QLineEdit>(u"txtKey"_s); }
    QTreeWidget* list() const { return child<QTreeWidget>(u"ListView2"_s); }
    void click(const QString& name) { QTest::mouseClick(child(name), Qt::LeftButton); }
    void rightClickList() { QTest::mouseRelease(list()->viewport(), Qt::RightButton, {}, {5, 5}); }
    // Types each character as one key press on the current-keyword box.
    void type(const QString& text)
    {
        for (QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(txtKey(), &press);
        }
    }
    // The texts of the message boxes shown since the last call.
    QStringList messages()
    {
        QStringList texts;
        for (const MessageBox::Shown& shown : MessageBox::takeShown())
            texts << shown.text;
        return texts;
    }
    QStringList keywords() { return m_raw->rows(u"SELECT keywords FROM Korvels ORDER BY id"_s); }
    // Opens the add-keywords dialog from the main window and adds each text as one batch.
    void addBatches(const QStringList& texts, bool excludeDuplicates = true)
    {
        Modal::setDriver([=](QDialog& d) {
            d.findChild<QCheckBox*>(u"Check1"_s)->setChecked(excludeDuplicates);
            for (const QString& text : texts) {
                auto* box = d.findChild<QPlainTextEdit*>(u"txtKeys"_s);
                box->clear();
                box->insertPlainText(text);
                QTest::mouseClick(d.findChild<QPushButton*>(u"cmdAdd"_s), Qt::LeftButton);
            }
            QTest::mouseClick(d.findChild<QPushButton*>(u"cmdExit"_s), Qt::LeftButton);
        });
        click(u"lblAddWords"_s);
        Modal::setDriver({});
    }
    // The next class editor gets this title and key typed in, then OK (or Cancel) pressed.
    void answerClassEditor(const QString& title, const QString& key, bool ok = true)
    {
        Modal::setDriver([=, this](QDialog& dialog) {
            ++m_dialogsShown;
            dialog.findChild<QLineEdit*>(u"txtTitle"_s)->setText(title);
            dialog.findChild<QLineEdit*>(u"txtKey"_s)->setText(key);
            QTest::mouseClick(dialog.findChild<QPushButton*>(ok ? u"OKButton"_s : u"CancelButton"_s), Qt::LeftButton);
        });
    }

    std::unique_ptr<TempStore> m_temp;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<RawDb> m_raw;
    std::unique_ptr<frmKorvel> m_window;
    int m_dialogsShown = 0;
};
