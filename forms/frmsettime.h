#pragma once

#include <QDialog>

class Clock;
class DesktopWindows;
class QComboBox;
class QLineEdit;

// The set-time dialog. Shown with exec() over the main window, modal to that window only;
// on OK it writes gAlarmTime (as text) and gYouken, on cancel it leaves both untouched.
class frmSetTime : public QDialog
{
    Q_OBJECT
public:
    // The note's length limit, in characters as a person counts them (code points).
    static constexpr int kYoukenMaxLength = 40;
    // What the time field holds, in UTF-16 units. The longest time written out in full is
    // under twenty characters; the rest is room for spaces around it. A megabyte pasted into
    // the field is cut at once instead of being laid out for seconds.
    static constexpr int kTimeMaxLength = 64;

    frmSetTime(QWidget *owner, const Clock &clock, DesktopWindows &windows);

    // Runs Form_Load and shows the dialog modally; returns when it is unloaded.
    int exec() override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

    QString proposedTime() const;

    const Clock &m_clock;
    DesktopWindows &m_windows;
    QComboBox *cmbTimeSet = nullptr;
    QLineEdit *txtYouken = nullptr;
};
