#include "StoreJob.h"

#include "store/Store.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Work that ends sooner shows no progress window.
constexpr int ProgressAfterMs = 500;
constexpr int ProgressSteps = 1000;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

StoreJob::StoreJob(const Store& store, const QString& label, QWidget* parent)
    : m_location(store.location())
    , m_label(label)
    , m_parent(parent)
{ }

StoreJob::StoreJob(const QString& label, QWidget* parent)
    : m_label(label)
    , m_parent(parent)
{ }

StoreJob::~StoreJob() = default;

Status StoreJob::run(const Work& work)
{
    return run([&](const std::atomic<bool>& cancel, const Report& report) {
        auto store = openStore(m_location);
        return store ? work(**store, cancel, report) : Status::of(store);
    });
}

Status StoreJob::run(const PlainWork& work)
{
    m_cancel = false;
    Status result;
    const Report report = [this](qint64 done, qint64 total) {
        QMetaObject::invokeMethod(
            this, [this, done, total] { progress(done, total); }, Qt::QueuedConnection);
    };
    std::unique_ptr<QThread> thread(QThread::create([&] { result = work(m_cancel, report); }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer reveal;
    reveal.setSingleShot(true);
    connect(&reveal, &QTimer::timeout, this, [this] {
        m_dialog = new QProgressDialog(m_label, u"取消"_s, 0, ProgressSteps, m_parent);
        m_dialog->setWindowTitle(m_parent ? m_parent->window()->windowTitle() : QString());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        // The close box and Esc cancel as the button does.
        connect(m_dialog, &QProgressDialog::canceled, this, [this] { m_cancel = true; });
        m_dialog->show();
    });
    qApp->installEventFilter(this);
    thread->start();
    reveal.start(ProgressAfterMs);
    loop.exec();
    thread->wait();
    qApp->removeEventFilter(this);
    delete std::exchange(m_dialog, nullptr);
    return result;
}

void StoreJob::progress(qint64 done, qint64 total)
{
    if (m_dialog && total > 0)
        m_dialog->setValue(int(std::min(done, total) * ProgressSteps / total));
}

bool StoreJob::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool inDialog = m_dialog && widget && (widget == m_dialog || m_dialog->isAncestorOf(widget));
    if (inDialog || !widget)
        return false;
    if (event->type() == QEvent::Close) {
        // No window closes under running work: closing one asks the work to stop instead.
        m_cancel = true;
        event->ignore();
        return true;
    }
    return isInput(event->type());
}
