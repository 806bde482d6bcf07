#pragma once

#include <QDialog>
#include <QTime>

#include <optional>

class Clock;
class DesktopWindows;
class QComboBox;
class QLineEdit;

// The set-time dialog: one of the 48 half-hour slots of a day or any typed time, and the note.
// Shown with exec() over the main window, modal to that window only; its answer is read from
// timeText() and note() once it is accepted. It checks nothing: the main window does.
class SetTimeDialog : public QDialog
{
    Q_OBJECT
public:
    // The note's length limit, in characters as a person counts them (code points).
    static constexpr int kNoteMaxLength = 40;
    // What the time field holds, in UTF-16 units: a time written out in full and spaces around
    // it. A megabyte pasted into the field is cut at once instead of being laid out for seconds.
    static constexpr int kTimeMaxLength = 64;

    // Opens with the alarm, or without one the next half hour by the clock, and the note.
    SetTimeDialog(QWidget *owner, const Clock &clock, DesktopWindows &windows,
                  std::optional<QTime> alarm, const QString &note);

    QString timeText() const;
    QString note() const;

    // Centres the dialog over its owner and shows it modally.
    int exec() override;

private:
    void acceptEntry();

    DesktopWindows &m_windows;
    QComboBox *m_time = nullptr;
    QLineEdit *m_note = nullptr;
};
