#include "KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

KeyPreview::KeyPreview(QWidget* window, std::initializer_list<QWidget*> controls, Handler handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
{
    window->installEventFilter(this);
    for (QWidget* control : controls)
        control->installEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    // A key a control leaves alone travels up to the window as well; there it is seen only when no control of
    // the window has the focus.
    if (watched == m_window) {
        const QWidget* focus = QApplication::focusWidget();
        if (focus && focus != m_window && focus->window() == m_window)
            return false;
    }
    return m_handler(watched, *static_cast<QKeyEvent*>(event));
}
