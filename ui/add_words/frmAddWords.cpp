#include "frmAddWords.h"

#include "store/KeywordSet.h"
#include "store/Store.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"Check1", 210, 120, 2310, 240},
    {u"cmdAdd", 2295, 75, 1320, 315},
    {u"cmdExit", 3735, 75, 1320, 315},
    {u"txtKeys", 195, 480, 4845, 4590},
};

// A chunk is one transaction: a crash loses at most the chunk in flight, and a commit is not paid per line.
constexpr int ChunkSize = 10000;
// A batch that runs longer than this shows its progress.
constexpr int ProgressAfterMs = 500;

} // namespace

frmAddWords::frmAddWords(Store& conn, QWidget* parent)
    : FixedDialog(u"增加关键词"_s, 5250, 5280, parent)
    , Conn(conn)
{
    setObjectName(u"frmAddWords"_s);
    Check1 = named(new QCheckBox(u"排除相同关键词"_s, this), u"Check1"_s);
    Check1->setChecked(true);
    cmdAdd = named(new QPushButton(u"增加关键词"_s, this), u"cmdAdd"_s);
    cmdExit = named(new QPushButton(u"退出(&X)"_s, this), u"cmdExit"_s);
    txtKeys = named(new QPlainTextEdit(this), u"txtKeys"_s);
    txtKeys->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtKeys->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtKeys->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(this, Layout);
    plainButton(cmdAdd);
    plainButton(cmdExit);
    setTabOrder(Check1, cmdAdd);
    setTabOrder(cmdAdd, cmdExit);
    setTabOrder(cmdExit, txtKeys);

    connect(cmdAdd, &QPushButton::clicked, this, &frmAddWords::cmdAdd_Click);
    connect(cmdExit, &QPushButton::clicked, this, &frmAddWords::cmdExit_Click);
}

bool frmAddWords::Init()
{
    Modal::exec(*this);
    return WordsAdded;
}

void frmAddWords::cmdExit_Click()
{
    reject();
}

void frmAddWords::cmdAdd_Click()
{
    if (txtKeys->document()->isEmpty()) {
        MessageBox::inform(this, u"请输入关键词！"_s);
        txtKeys->setFocus();
        return;
    }
    cmdAdd->setEnabled(false);
    cmdExit->setEnabled(false);
    AddWords();
    cmdAdd->setEnabled(true);
    cmdExit->setEnabled(true);
}

QList<QStringView> frmAddWords::splitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\n' && c != u'\r' && c != QChar::ParagraphSeparator && c != QChar::LineSeparator)
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.sliced(start));
    return lines;
}

bool frmAddWords::isBlank(QStringView line)
{
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c.isSpace(); });
}

void frmAddWords::AddWords()
{
    // The raw text keeps every character as typed; the plain-text view would turn no-break spaces into spaces.
    const QString text = txtKeys->document()->toRawText();
    const QList<QStringView> lines = splitLines(text);
    const bool excludeDuplicates = Check1->checkState() != Qt::Unchecked;

    qint64 added = 0;
    qint64 duplicates = 0;
    QString failure;
    KeywordSet seen;
    if (excludeDuplicates) {
        if (const Status loaded = Conn.loadKeywords(seen); !loaded)
            failure = loaded.error();
    }
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProgressDialog> progress;

    QList<QString> chunk;
    chunk.reserve(ChunkSize);
    qsizetype next = 0;
    while (next < lines.size() && failure.isEmpty()) {
        chunk.clear();
        for (; next < lines.size() && chunk.size() < ChunkSize; ++next) {
            if (!isBlank(lines.at(next)))
                chunk.append(lines.at(next).toString());
        }
        if (chunk.isEmpty())
            continue;
        const Store::ChunkResult result = Conn.addKeywordChunk(chunk, excludeDuplicates ? &seen : nullptr);
        added += result.added;
        duplicates += result.duplicates;
        failure = result.error;
        if (result.processed > 0)
            emit chunkStored(added, duplicates);

        if (!progress && clock.elapsed() > ProgressAfterMs && next < lines.size()) {
            progress = std::make_unique<QProgressDialog>(u"正在增加关键词…"_s, QString(), 0,
                                                         int(lines.size() / 1000 + 1), this);
            progress->setWindowTitle(windowTitle());
            progress->setWindowModality(Qt::ApplicationModal);
            progress->setMinimumDuration(0);
        }
        if (progress) {
            progress->setValue(int(next / 1000));
            // Let the window repaint; the progress dialog is modal, so nothing else can be clicked meanwhile.
            QCoreApplication::processEvents();
        }
    }
    progress.reset();

    const QString counts = QString::number(added) + u"个关键词增加成功！"_s + QString::number(duplicates)
        + u"个关键词因为重复未增加！"_s;
    if (failure.isEmpty()) {
        MessageBox::show(this, counts, u"提示"_s, MessageBox::Icon::Information, MessageBox::Buttons::Ok,
                         MessageBox::Answer::Ok);
    } else {
        MessageBox::show(this, u"增加关键词时数据库出错，其余的行没有增加：\n"_s + failure + u'\n' + counts, u"提示"_s,
                         MessageBox::Icon::Exclamation, MessageBox::Buttons::Ok, MessageBox::Answer::Ok);
    }
    if (added > 0)
        WordsAdded = true;
}
