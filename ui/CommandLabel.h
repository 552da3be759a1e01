#pragma once

#include <QLabel>

// A label that acts as a command: it reacts to a left click like a button, without taking the focus.
class CommandLabel : public QLabel
{
    Q_OBJECT
public:
    explicit CommandLabel(const QString& text, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
