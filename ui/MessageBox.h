#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through here, so that a test can answer it without a screen.
class MessageBox
{
public:
    enum class Icon
    {
        None,
        Information,
        Exclamation
    };
    enum class Buttons
    {
        Ok,
        YesNo
    };
    enum class Answer
    {
        Ok,
        Yes,
        No
    };

    struct Shown
    {
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        Answer defaultAnswer = Answer::Ok;
    };

    // A refusal or a piece of information: OK only, no icon, the product's title.
    static void inform(QWidget* parent, const QString& text);
    static Answer show(QWidget* parent, const QString& text, const QString& title, Icon icon, Buttons buttons,
                       Answer defaultAnswer);

    // Only tests set this: each box goes to the handler, which answers it, instead of to the screen.
    using Handler = std::function<Answer(const Shown&)>;
    static void setHandler(Handler handler);
};
