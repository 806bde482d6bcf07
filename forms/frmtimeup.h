#pragma once

#include <QDialog>

class AlarmSound;
class DesktopWindows;
class QLabel;

// The window that rings. It has no owner and deletes itself when unloaded (OK, Enter or the
// title bar's close), so the main window holds it in a QPointer and makes it ahead of the ring.
class frmTimeUp : public QDialog
{
    Q_OBJECT
public:
    frmTimeUp(DesktopWindows &windows, AlarmSound &sound);
    // Makes the native window ahead of the ring, hidden, so that Show only loads and maps it.
    void Ready();

    // The show operation: loads the window (message, sound) the first time, and
    // only shows it on later calls while it is open; either way it asks to be activated.
    void Show();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    DesktopWindows &m_windows;
    AlarmSound &m_sound;
    bool m_loaded = false;
    QLabel *lblYouken = nullptr;
};
