#include "TestSupport.h"

#include <QAbstractItemModelTester>
#include <QKeyEvent>

void clickIn(const QWidget& parent, const QString& name)
{
    QTest::mouseClick(in<QWidget>(parent, name), Qt::LeftButton);
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

void WindowTest::initTestCase()
{
    if (const QString missing = TestEngine::missing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void WindowTest::init()
{
    m_messages = std::make_unique<Messages>();
    m_temp = std::make_unique<TempStore>();
    QVERIFY_OK(m_temp->created);
    auto opened = openStore(m_temp->path);
    QVERIFY_OK(opened);
    m_store = std::move(opened).value();
    m_raw = std::make_unique<RawDb>(m_temp->ownerPath);
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
    new QAbstractItemModelTester(m_window->session().gridModel(),
                                 QAbstractItemModelTester::FailureReportingMode::QtTest,
                                 m_window->session().gridModel());
    m_window->Form_Load();
    m_window->show();
    if (quiet)
        m_messages->take();
    return m_window.get();
}

void WindowTest::rightClickList()
{
    QTest::mouseRelease(list()->viewport(), Qt::RightButton, {}, {5, 5});
}

void WindowTest::takeBack(int row)
{
    QTest::mousePress(grid()->viewport(), Qt::RightButton, {},
                      grid()->visualRect(grid()->model()->index(row, 2)).center());
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
        in<QCheckBox>(d, u"Check1"_s)->setChecked(excludeDuplicates);
        for (const QString& text : texts) {
            auto* box = in<QPlainTextEdit>(d, u"txtKeys"_s);
            box->clear();
            box->insertPlainText(text);
            clickIn(d, u"cmdAdd"_s);
        }
        clickIn(d, u"cmdExit"_s);
    });
    click(u"lblAddWords"_s);
    Modal::setDriver({});
}

void WindowTest::answerClassEditor(const QString& title, const QString& key, bool ok)
{
    Modal::setDriver([=, this](QDialog& dialog) {
        ++m_dialogsShown;
        in<QLineEdit>(dialog, u"txtTitle"_s)->setText(title);
        in<QLineEdit>(dialog, u"txtKey"_s)->setText(key);
        clickIn(dialog, ok ? u"OKButton"_s : u"CancelButton"_s);
    });
}

void WindowTest::addClasses(const QList<std::tuple<QString, QString, QString>>& classes)
{
    for (const auto& [parent, title, key] : classes)
        QVERIFY_OK(m_store->addClass(parent, title, key));
}
