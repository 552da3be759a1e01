#include "TestSupport.h"

#include "ui/Modal.h"
#include "ui/main/KeywordGridModel.h"
#include "ui/main/frmKorvel.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTreeWidget>

RawDb::RawDb(const QString& path)
    : m_name(u"raw-"_s + path)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
    db.setDatabaseName(path);
    if (!db.open())
        qWarning() << "cannot open" << path << db.lastError().text();
}

RawDb::~RawDb()
{
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool RawDb::exec(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(QSqlDatabase::database(m_name));
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (q.exec())
        return true;
    qWarning() << sql << q.lastError().text();
    return false;
}

QStringList RawDb::rows(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(QSqlDatabase::database(m_name));
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        qWarning() << sql << q.lastError().text();
    QStringList out;
    while (q.next()) {
        QStringList columns;
        for (int i = 0; i < q.record().count(); ++i)
            columns << q.value(i).toString();
        out << columns.join(u'|');
    }
    return out;
}

QString RawDb::value(const QString& sql, const QVariantList& values)
{
    return rows(sql, values).value(0);
}

Messages::Messages()
{
    MessageBox::setHandler([this](const MessageBox::Shown& shown) {
        m_shown.append(shown);
        if (whileShown)
            whileShown(shown);
        return m_answers.isEmpty() ? shown.defaultAnswer : m_answers.dequeue();
    });
}

Messages::~Messages()
{
    MessageBox::setHandler({});
}

QStringList Messages::texts()
{
    QStringList texts;
    for (const MessageBox::Shown& shown : take())
        texts << shown.text;
    return texts;
}

void WindowTest::init()
{
    m_messages = std::make_unique<Messages>();
    m_temp = std::make_unique<TempStore>();
    QVERIFY_OK(m_temp->created);
    auto opened = openStore(m_temp->path);
    QVERIFY_OK(opened);
    m_store = std::move(opened).value();
    m_raw = std::make_unique<RawDb>(m_temp->path);
    m_dialogsShown = 0;
}

void WindowTest::cleanup()
{
    Modal::setDriver({});
    m_window.reset();
    m_store.reset();
    m_raw.reset();
    m_temp.reset();
    m_messages.reset();
}

frmKorvel* WindowTest::open(bool quiet)
{
    m_window = std::make_unique<frmKorvel>(*m_store);
    new QAbstractItemModelTester(m_window->gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 m_window->gridModel());
    m_window->Form_Load();
    m_window->show();
    if (quiet)
        m_messages->take();
    return m_window.get();
}

QWidget* WindowTest::control(const QString& name, const QMetaObject* type) const
{
    QWidget* widget = m_window ? m_window->findChild<QWidget*>(name) : nullptr;
    if (!widget || !widget->metaObject()->inherits(type))
        QTest::qFail(qPrintable(u"no control "_s + name), __FILE__, __LINE__);
    return widget;
}

QLineEdit* WindowTest::txtKey() const
{
    return child<QLineEdit>(u"txtKey"_s);
}

QTreeWidget* WindowTest::list() const
{
    return child<QTreeWidget>(u"ListView2"_s);
}

void WindowTest::click(const QString& name)
{
    QTest::mouseClick(child(name), Qt::LeftButton);
}

void WindowTest::rightClickList()
{
    QTest::mouseRelease(list()->viewport(), Qt::RightButton, {}, {5, 5});
}

void WindowTest::type(const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(txtKey(), &press);
    }
}

void WindowTest::addBatches(const QStringList& texts, bool excludeDuplicates)
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

void WindowTest::answerClassEditor(const QString& title, const QString& key, bool ok)
{
    Modal::setDriver([=, this](QDialog& dialog) {
        ++m_dialogsShown;
        dialog.findChild<QLineEdit*>(u"txtTitle"_s)->setText(title);
        dialog.findChild<QLineEdit*>(u"txtKey"_s)->setText(key);
        QTest::mouseClick(dialog.findChild<QPushButton*>(ok ? u"OKButton"_s : u"CancelButton"_s), Qt::LeftButton);
    });
}

void WindowTest::addClasses(const QList<std::tuple<QString, QString, QString>>& classes)
{
    for (const auto& [parent, title, key] : classes)
        QVERIFY_OK(m_store->addClass(parent, title, key));
}
