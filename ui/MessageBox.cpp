#include "MessageBox.h"

#include "Product.h"

#include <QFile>
#include <QMessageBox>
#include <QQueue>

using namespace Qt::StringLiterals;

namespace {

struct Capture
{
    bool on = false;
    QQueue<MessageBox::Answer> answers;
    QList<MessageBox::Shown> shown;
    std::function<void(const MessageBox::Shown&)> hook;
};

Capture& capture()
{
    static Capture c;
    return c;
}

// A process started by a test cannot be answered in memory; it writes each message to the file this names.
QString messageLogPath()
{
    return qEnvironmentVariable("KORVEL_MESSAGE_LOG");
}

} // namespace

void MessageBox::inform(QWidget* parent, const QString& text)
{
    show(parent, text, productTitle(), Icon::None, Buttons::Ok, Answer::Ok);
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                                    Buttons buttons, Answer defaultAnswer)
{
    Capture& c = capture();
    if (c.on) {
        c.shown.append({text, title, icon, buttons, defaultAnswer});
        if (c.hook)
            c.hook(c.shown.last());
        return c.answers.isEmpty() ? defaultAnswer : c.answers.dequeue();
    }
    if (const QString log = messageLogPath(); !log.isEmpty()) {
        QFile file(log);
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((title + u'\t' + QString(text).replace(u'\n', u"\\n"_s) + u'\n').toUtf8());
        return defaultAnswer;
    }

    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setIcon(icon == Icon::Information       ? QMessageBox::Information
                    : icon == Icon::Exclamation ? QMessageBox::Warning
                                                : QMessageBox::NoIcon);
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

void MessageBox::setCapturing(bool on)
{
    Capture& c = capture();
    c.on = on;
    c.answers.clear();
    c.shown.clear();
    c.hook = nullptr;
}

void MessageBox::setCaptureHook(std::function<void(const Shown&)> hook)
{
    capture().hook = std::move(hook);
}

void MessageBox::queueAnswer(Answer answer)
{
    capture().answers.enqueue(answer);
}

QList<MessageBox::Shown> MessageBox::takeShown()
{
    return std::exchange(capture().shown, {});
}
