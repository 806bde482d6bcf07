#pragma once

#include <QDialog>

#include <optional>

class AlarmSound;
class Clock;
class DesktopWindows;
class QLabel;

// The window that rings. It has no owner and deletes itself when unloaded (OK, Enter or the
// title bar's close), so the main window holds it in a QPointer and makes it ahead of the ring.
class frmTimeUp : public QDialog
{
    Q_OBJECT
public:
    // While the window has the keyboard without the user having come to it, a key counts only
    // after the keyboard has been this long at rest: until then keys are taken to be typing
    // meant for another window.
    static constexpr int kKeysAtRestMsecs = 1000;

    frmTimeUp(const Clock &clock, DesktopWindows &windows, AlarmSound &sound);
    // Makes the native window ahead of the ring, hidden, so that Show only loads and maps it.
    void Ready();

    // The show operation: loads the window (message, sound) the first time, and
    // only shows it on later calls while it is open.
    void Show();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void Form_Load();
    void cmdOK_Click();

    const Clock &m_clock;
    DesktopWindows &m_windows;
    AlarmSound &m_sound;
    bool m_loaded = false;
    // While keys may still be typing meant for another window: when the last came (or the
    // window was shown), by the steady clock.
    std::optional<qint64> m_lastStrayKey;
    QLabel *lblYouken = nullptr;
};
