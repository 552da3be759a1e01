// The program with its message boxes written to a file instead of shown, for tests that run the real process.
#include "app/CommandLine.h"
#include "ui/MessageBox.h"

#include <QFile>

using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    const QString log = qEnvironmentVariable("KORVEL_MESSAGE_LOG");
    MessageBox::setHandler([log](const MessageBox::Shown& shown) {
        QFile file(log);
        if (file.open(QIODevice::Append | QIODevice::Text))
            file.write((shown.title + u'\t' + QString(shown.text).replace(u'\n', u"\\n"_s) + u'\n').toUtf8());
        return shown.defaultAnswer;
    });
    return runKorvel(argc, argv);
}
