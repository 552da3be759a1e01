#pragma once

#include <QList>
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

    // For tests: while capturing, nothing is shown; each box is recorded and answered with the next queued
    // answer, or with its default button when none is queued.
    static void setCapturing(bool on);
    static void queueAnswer(Answer answer);
    static QList<Shown> takeShown();
    // For tests: called with each captured box while it would be on screen.
    static void setCaptureHook(std::function<void(const Shown&)> hook);
};
