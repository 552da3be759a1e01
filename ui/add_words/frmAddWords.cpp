#include "frmAddWords.h"

#include "KeywordBox.h"
#include "session/SortingSession.h"
#include "store/Store.h"
#include "store/intake/Batch.h"
#include "store/intake/KeywordFile.h"
#include "ui/FileDialog.h"
#include "ui/Layout.h"
#include "ui/MessageBox.h"
#include "ui/Modal.h"
#include "ui/Product.h"
#include "ui/StoreJob.h"
#include "ui/column/frmColumn.h"

#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

constexpr Placement Layout[] = {
    {u"Check1", 210, 120, 2310, 240},
    {u"cmdAdd", 2295, 75, 1320, 315},
    {u"cmdExit", 3735, 75, 1320, 315},
    {u"txtKeys", 195, 480, 4845, 4590},
};

} // namespace

frmAddWords::frmAddWords(Store& conn, QWidget* parent, SortingSession* session)
    : FixedDialog(u"增加关键词"_s, 5250, 5280, parent)
    , Conn(conn)
    , m_session(session)
{
    setObjectName(u"frmAddWords"_s);
    Check1 = named(new QCheckBox(u"排除相同关键词"_s, this), u"Check1"_s);
    Check1->setChecked(true);
    cmdAdd = named(new QPushButton(u"增加关键词"_s, this), u"cmdAdd"_s);
    cmdExit = named(new QPushButton(u"退出(&X)"_s, this), u"cmdExit"_s);
    txtKeys = named(new KeywordBox(this), u"txtKeys"_s);
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
    connect(txtKeys, &KeywordBox::filesDropped, this, &frmAddWords::AddFiles);
}

void frmAddWords::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+O, wherever the focus is in the dialog: the controls leave it to the dialog.
    if (event->matches(QKeySequence::Open)) {
        AddFiles(FileDialog::getOpenFileNames(this, u"从文件增加关键词"_s,
                                              u"关键词文件 (*.txt *.csv *.tsv *.xlsx);;所有文件 (*)"_s));
        return;
    }
    FixedDialog::keyPressEvent(event);
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
    // The raw text keeps every character as typed; the plain-text view would turn no-break spaces into spaces.
    TextLines source(txtKeys->document()->toRawText());
    runBatch(source);
}

void frmAddWords::runBatch(LineSource& source)
{
    cmdAdd->setEnabled(false);
    cmdExit->setEnabled(false);
    AddWords(source);
    cmdAdd->setEnabled(true);
    cmdExit->setEnabled(true);
}

void frmAddWords::AddFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    // Every file is read and settled before any keyword is stored. A large file takes a while to read (a workbook
    // to unpack), so the reading runs on a thread of its own and can be stopped.
    std::vector<std::unique_ptr<KeywordFile>> files;
    StoreJob reading(u"正在读取文件…"_s, this);
    const Status read = reading.run([&](const std::atomic<bool>& cancel, const StoreJob::Report& report) {
        for (const QString& path : paths) {
            auto file = KeywordFile::open(path, {{}, {&cancel, report}});
            if (!file)
                return Status::of(file);
            files.push_back(std::move(file).value());
        }
        return Status();
    });
    if (reading.cancelRequested())
        return;
    if (!read) {
        MessageBox::inform(this, read.error());
        return;
    }
    for (const auto& file : files) {
        KeywordFile& f = *file;
        if (!f.encodingSure()) {
            const QString question
                = u"%1 没有标明编码，猜测是 %2。按 %2 读出的前几行是：\n\n%3\n\n按这个编码增加吗？"_s.arg(
                    QDir::toNativeSeparators(f.path()), f.encoding(), f.preview(5).join(u'\n'));
            if (MessageBox::show(this, question, productTitle(), MessageBox::Icon::Exclamation,
                                 MessageBox::Buttons::YesNo, MessageBox::Answer::No)
                != MessageBox::Answer::Yes)
                return;
        }
        // A table is asked which column holds the keywords and whether its first row is a header, one column
        // included; the program's own export says so itself.
        if (f.kind() != KeywordFile::Kind::Text && !f.ownExport()) {
            frmColumn choose(this);
            if (!choose.Choose(f.path(), f.firstRow(), f.titleRows()))
                return;
            f.chooseColumn(choose.column(), choose.skipFirstRow());
        }
    }
    FileLines source(std::move(files));
    runBatch(source);
}

void frmAddWords::AddWords(LineSource& source)
{
    const bool excludeDuplicates = Check1->checkState() != Qt::Unchecked;
    Batch::Counts counts;
    const auto before = Conn.lastKeywordId();
    StoreJob job(Conn, u"正在增加关键词…"_s, this);
    const Status done = job.run([&](Store& store, const std::atomic<bool>& cancel, const StoreJob::Report& report) {
        Batch batch(store, excludeDuplicates);
        batch.onChunk = [&](const Batch::Counts& c, std::pair<qint64, qint64> progress) {
            report(progress.first, progress.second);
            QMetaObject::invokeMethod(
                this, [this, c] { emit chunkStored(c.added, c.duplicates); }, Qt::QueuedConnection);
        };
        const Status stored = batch.run(source, cancel);
        counts = batch.counts();
        return stored;
    });

    QString text = QString::number(counts.added) + u"个关键词增加成功！"_s + QString::number(counts.duplicates)
        + u"个关键词因为重复未增加！"_s;
    if (counts.hadNumbers)
        text += u"\n其中%1个关键词带有文件中的搜索量等数字；重复的关键词保留第一行的数字。"_s.arg(counts.numbered);
    if (counts.added > 0)
        text += before ? applyRules(*before) : QString(u"\n没有按保存的规则归类："_s + before.error());
    if (!done) {
        text = u"增加关键词时数据库出错，其余的行没有增加：\n"_s + done.error() + u'\n' + text;
        if (counts.unprocessed > 0)
            text += QString::number(counts.unprocessed) + u"个关键词因为出错未处理！"_s;
    } else if (job.cancelRequested() && counts.unprocessed > 0) {
        text += QString::number(counts.unprocessed) + u"个关键词因为取消未处理！"_s;
    }
    MessageBox::show(this, text, u"提示"_s, done ? MessageBox::Icon::Information : MessageBox::Icon::Exclamation,
                     MessageBox::Buttons::Ok, MessageBox::Answer::Ok);
    WordsAdded = WordsAdded || counts.added > 0;
}

QString frmAddWords::applyRules(qint64 afterId)
{
    const auto wanted = Conn.rulesOnNewBatches();
    if (!wanted)
        return u"\n没有按保存的规则归类："_s + wanted.error();
    if (!*wanted)
        return {};
    qint64 filed = 0;
    qint64 held = 0;
    if (m_session) {
        const auto matches = Conn.savedRuleMatches(afterId);
        if (!matches)
            return u"\n没有按保存的规则归类："_s + matches.error();
        if (!matches->idsByClass.isEmpty()) {
            // The session has told the operator when the store failed.
            const std::optional<BulkFiling> done = m_session->FileMany(matches->idsByClass);
            if (!done)
                return u"\n按保存的规则归类时出错。"_s;
            filed = done->filed.size();
            held = done->held;
        }
    } else {
        const auto applied = Conn.applySavedRules(afterId);
        if (!applied)
            return u"\n没有按保存的规则归类："_s + applied.error();
        filed = applied->filed;
        held = applied->held;
    }
    QString text = u"\n%1个关键词已按保存的规则归类！"_s.arg(filed);
    if (held > 0)
        text += u"%1个关键词正由其他窗口设置，没有归类！"_s.arg(held);
    return text;
}
