#pragma once

#include <QDialog>

#include <optional>

class AlarmSound;
class Clock;
class DesktopWindows;
class QLabel;

// The window that rings: the note or a standard message, the alarm sound once, above the other
// windows. It has no owner and deletes itself when closed (OK, Enter or the title bar).
class TimeUpWindow : public QDialog
{
    Q_OBJECT
public:
    // Over another program's full-screen window, a key counts only after the keyboard has been
    // this long at rest: keys before are typing meant for that window.
    static constexpr int kKeysAtRestMsecs = 1000;

    TimeUpWindow(const Clock &clock, DesktopWindows &windows, AlarmSound &sound, QString soundFile);
    // Makes the native window ahead of the ring, hidden, so that ring() only has to show it.
    void prepare();

    // Shows the window with the note (the standard message when it is empty) and plays the
    // sound. While it is still open from an earlier ring it is only shown again: no new sound,
    // and the message stays.
    void ring(const QString &note);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    const Clock &m_clock;
    DesktopWindows &m_windows;
    AlarmSound &m_sound;
    const QString m_soundFile;
    bool m_rung = false;
    // While keys may be typing meant for another window: when the last came, by the steady clock.
    std::optional<qint64> m_lastStrayKey;
    QLabel *m_message = nullptr;
};
