#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

// A window's key preview: the window sees every keystroke before the control that has the focus. It watches the
// window and its controls, and hands each key over once, from whichever of them it reaches first.
class KeyPreview : public QObject
{
    Q_OBJECT
public:
    // Gets the control the key reached and the key; true when the key is used up, and the control never sees it.
    using Handler = std::function<bool(QObject* control, const QKeyEvent& key)>;

    KeyPreview(QWidget* window, std::initializer_list<QWidget*> controls, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    Handler m_handler;
};
