#pragma once

#include <QDialog>

class QPushButton;

// A fixed-size modal dialog without a default or a cancel button: Enter in a text box and Esc do nothing,
// Enter on a button presses that button, and only the buttons or the close box end it.
class FixedDialog : public QDialog
{
    Q_OBJECT
public:
    FixedDialog(const QString& caption, int clientWidthTwips, int clientHeightTwips, QWidget* parent);

protected:
    // Takes the button out of Qt's default-button handling and lets Enter press it while it has the focus.
    void plainButton(QPushButton* button);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Centred on the screen, wherever the window that opened it stands.
    void showEvent(QShowEvent* event) override;
};
