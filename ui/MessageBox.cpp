#include "MessageBox.h"

#include "Product.h"

#include <QMessageBox>

namespace {

MessageBox::Handler& handler()
{
    static MessageBox::Handler h;
    return h;
}

} // namespace

void MessageBox::inform(QWidget* parent, const QString& text)
{
    show(parent, text, productTitle(), Icon::None, Buttons::Ok, Answer::Ok);
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& text, const QString& title, Icon icon,
                                    Buttons buttons, Answer defaultAnswer)
{
    if (const Handler& h = handler())
        return h({text, title, icon, buttons, defaultAnswer});

    QMessageBox box(parent);
    box.setWindowTitle(title);
    // Keywords, titles and file names are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
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

void MessageBox::setHandler(Handler h)
{
    handler() = std::move(h);
}
