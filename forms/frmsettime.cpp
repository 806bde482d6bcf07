#include "forms/frmsettime.h"

#include "core/alarmstate.h"
#include "core/timetext.h"
#include "forms/formkit.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

namespace {

// Keeps the note one line and caps it at a number of code points. Line breaks, tabs and other
// control characters, which only a paste brings in, become spaces: the note is shown on one
// line, in the window title and in the time-up window. QLineEdit::maxLength counts UTF-16
// units, which would let an emoji count twice and could cut one in half. QLineEdit runs the
// validator after every change (typing, paste, committed input-method text) with the cursor at
// the end of what was inserted, so the excess is removed just before the cursor: the inserted
// text is cut, as maxLength would cut it, and a paste into an empty box keeps its start.
class NoteValidator final : public QValidator
{
public:
    NoteValidator(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}

    State validate(QString &text, int &pos) const override
    {
        for (QChar &c : text) {
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char(' ');
        }
        int excess = codePoints(text) - m_limit;
        if (excess <= 0)
            return Acceptable;
        int end = qBound(0, pos, static_cast<int>(text.size()));
        int begin = end;
        for (; excess > 0 && begin > 0; --excess)
            begin -= unitsBefore(text, begin);
        text.remove(begin, end - begin);
        pos = begin;
        // A cursor too close to the start to make room: drop the rest from the end.
        for (; excess > 0; --excess)
            text.chop(unitsBefore(text, text.size()));
        pos = qMin(pos, static_cast<int>(text.size()));
        return Acceptable;
    }

private:
    // How many UTF-16 units the code point that ends at end takes: two for a surrogate pair.
    static int unitsBefore(const QString &text, qsizetype end)
    {
        return end >= 2 && text[end - 1].isLowSurrogate() && text[end - 2].isHighSurrogate() ? 2
                                                                                             : 1;
    }

    static int codePoints(const QString &text)
    {
        int n = 0;
        for (qsizetype end = text.size(); end > 0; end -= unitsBefore(text, end))
            ++n;
        return n;
    }

    int m_limit;
};

// The alarm as the main window shows it, seconds and all, so that OK keeps it as it is; a
// text that is no time is shown as it is.
QString formatAlarm(const QString &text)
{
    const std::optional<TimeValue> time = convert(text);
    return time ? format(*time, TimeFormat::Alarm) : text;
}

// The window and its controls, in twips: the window's client area and each control's place.
const Control kLayout[] = {{"frmSetTime", {0, 0, 3210, 1560}},    {"Label1", {240, 180, 0, 0}},
                           {"cmbTimeSet", {720, 120, 1335, 300}}, {"cmdOK", {1020, 1140, 975, 315}},
                           {"cmdCancel", {2100, 1140, 975, 315}}, {"Label2", {240, 795, 0, 0}},
                           {"txtYouken", {720, 720, 2355, 285}}};

} // namespace

frmSetTime::frmSetTime(QWidget *owner, const Clock &clock, DesktopWindows &windows)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_clock(clock), m_windows(windows)
{
    setObjectName(QStringLiteral("frmSetTime"));
    windows.keepOffTaskbar(this);
    setFont(dialogFont());

    auto *Label1 = makeControl<QLabel>(this, "Label1", QStringLiteral("時刻"));
    cmbTimeSet = makeControl<QComboBox>(this, "cmbTimeSet");
    auto *cmdOK = makeControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    auto *cmdCancel = makeControl<QPushButton>(this, "cmdCancel", QStringLiteral("ｷｬﾝｾﾙ"));
    auto *Label2 = makeControl<QLabel>(this, "Label2", QStringLiteral("用件"));
    txtYouken = makeControl<QLineEdit>(this, "txtYouken");

    cmbTimeSet->setEditable(true);
    cmbTimeSet->setInsertPolicy(QComboBox::NoInsert);
    // The inline completer that setEditable() installs eats Enter while the proposal is
    // selected, so Enter would not reach the default button.
    cmbTimeSet->setCompleter(nullptr);
    cmbTimeSet->setAttribute(Qt::WA_InputMethodEnabled);
    cmbTimeSet->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled);
    txtYouken->setAttribute(Qt::WA_InputMethodEnabled);
    cmbTimeSet->lineEdit()->setMaxLength(kTimeMaxLength);
    txtYouken->setValidator(new NoteValidator(kYoukenMaxLength, txtYouken));
    // A code point is at most two UTF-16 units, so this cut never reaches what the validator
    // keeps; it only spares the field a megabyte paste before the validator sees it.
    txtYouken->setMaxLength(2 * kYoukenMaxLength);
    cmdOK->setDefault(true);
    Label1->setBuddy(cmbTimeSet);
    Label2->setBuddy(txtYouken);

    Label1->setAccessibleName(Label1->text());
    // A screen reader reads the combo box by the time in it, and its text field by the label.
    cmbTimeSet->lineEdit()->setAccessibleName(Label1->text());
    cmdOK->setAccessibleName(cmdOK->text());
    cmdCancel->setAccessibleName(QStringLiteral("キャンセル"));
    Label2->setAccessibleName(Label2->text());
    txtYouken->setAccessibleName(QStringLiteral("用件"));

    layOut(this, kLayout);

    setTabOrder(cmbTimeSet, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, txtYouken);

    connect(cmdOK, &QPushButton::clicked, this, &frmSetTime::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetTime::cmdCancel_Click);

    setWindowTitle(QStringLiteral("ｱﾗｰﾑ時刻設定"));
    // Modal to the main window only: a time-up window that rings meanwhile must stay usable.
    setWindowModality(Qt::WindowModal);
}

int frmSetTime::exec()
{
    Form_Load();
    return QDialog::exec();
}

void frmSetTime::Form_Load()
{
    cmbTimeSet->clear();
    for (int hour = 0; hour < 24; ++hour) {
        for (int half = 0; half < 2; ++half)
            cmbTimeSet->addItem(format(hour, NumberFormat::TwoDigitsColon) +
                                format(half * 30, NumberFormat::TwoDigits));
    }

    const QString proposal = proposedTime();
    cmbTimeSet->setCurrentIndex(cmbTimeSet->findText(proposal));
    cmbTimeSet->setEditText(proposal);
    txtYouken->setText(gYouken);

    if (const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        m_windows.centre(this, owner->frameGeometry());
    // As a Windows dialog does: the proposal is selected, so typing replaces it.
    cmbTimeSet->setFocus();
    cmbTimeSet->lineEdit()->selectAll();
}

// The next half-hour boundary strictly after now, as "hh:mm", or the alarm the main window
// holds.
QString frmSetTime::proposedTime() const
{
    if (gAlarmTime.isTime())
        return format(*gAlarmTime.time(), TimeFormat::Alarm);
    if (!gAlarmTime.isEmpty())
        return formatAlarm(gAlarmTime.text());

    // The whole parts of (t + 1800) / 3600 and (t + 1800) / 1800 for t in seconds, computed
    // on the milliseconds: as a single-precision number of seconds, t rounds up to the next
    // half hour in its last few milliseconds before it, and the proposal would skip one.
    const qint64 ms = m_clock.msecsSinceMidnight();
    const int hour = static_cast<int>((ms + 1'800'000) / 3'600'000 % 24);
    const int half = static_cast<int>((ms + 1'800'000) / 1'800'000 % 2);
    return format(hour, NumberFormat::TwoDigitsColon) + format(half * 30, NumberFormat::TwoDigits);
}

void frmSetTime::cmdOK_Click()
{
    // Text still being composed in an input method belongs to what the user typed.
    QGuiApplication::inputMethod()->commit();
    gAlarmTime = AlarmValue(cmbTimeSet->currentText());
    gYouken = txtYouken->text();
    accept();
}

void frmSetTime::cmdCancel_Click()
{
    reject();
}
