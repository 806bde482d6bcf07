#include "forms/settimedialog.h"

#include "core/timeofday.h"
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

// Keeps the note one line (control characters, which only a paste brings in, become spaces) and
// caps it at a number of code points: QLineEdit::maxLength counts UTF-16 units, which would count
// an emoji twice and could cut one in half. The validator runs after every change with the cursor
// after what was inserted, so the excess is cut just before the cursor, as maxLength would cut.
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

// The window and its controls, in twips: the window's client area and each control's place.
const Control kLayout[] = {{"frmSetTime", {0, 0, 3210, 1560}},    {"Label1", {240, 180, 0, 0}},
                           {"cmbTimeSet", {720, 120, 1335, 300}}, {"cmdOK", {1020, 1140, 975, 315}},
                           {"cmdCancel", {2100, 1140, 975, 315}}, {"Label2", {240, 795, 0, 0}},
                           {"txtYouken", {720, 720, 2355, 285}}};

} // namespace

SetTimeDialog::SetTimeDialog(QWidget *owner, const Clock &clock, DesktopWindows &windows,
                             std::optional<QTime> alarm, const QString &note)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_windows(windows)
{
    setObjectName(QStringLiteral("frmSetTime"));
    windows.keepOffTaskbar(this);
    setFont(dialogFont());

    auto *timeLabel = makeControl<QLabel>(this, "Label1", QStringLiteral("時刻"));
    m_time = makeControl<QComboBox>(this, "cmbTimeSet");
    auto *ok = makeControl<QPushButton>(this, "cmdOK", QStringLiteral("OK"));
    auto *cancel = makeControl<QPushButton>(this, "cmdCancel", QStringLiteral("ｷｬﾝｾﾙ"));
    auto *noteLabel = makeControl<QLabel>(this, "Label2", QStringLiteral("用件"));
    m_note = makeControl<QLineEdit>(this, "txtYouken");

    m_time->setEditable(true);
    m_time->setInsertPolicy(QComboBox::NoInsert);
    // The inline completer that setEditable() installs eats Enter while the proposal is
    // selected, so Enter would not reach the default button.
    m_time->setCompleter(nullptr);
    m_time->setAttribute(Qt::WA_InputMethodEnabled);
    m_time->lineEdit()->setAttribute(Qt::WA_InputMethodEnabled);
    m_note->setAttribute(Qt::WA_InputMethodEnabled);
    m_time->lineEdit()->setMaxLength(kTimeMaxLength);
    m_note->setValidator(new NoteValidator(kNoteMaxLength, m_note));
    // Never reaches what the validator keeps; it spares the field a megabyte paste.
    m_note->setMaxLength(2 * kNoteMaxLength);
    ok->setDefault(true);
    timeLabel->setBuddy(m_time);
    noteLabel->setBuddy(m_note);

    timeLabel->setAccessibleName(timeLabel->text());
    // A screen reader reads the combo box by the time in it, and its text field by the label.
    m_time->lineEdit()->setAccessibleName(timeLabel->text());
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(QStringLiteral("キャンセル"));
    noteLabel->setAccessibleName(noteLabel->text());
    m_note->setAccessibleName(QStringLiteral("用件"));

    layOut(this, kLayout);

    setTabOrder(m_time, ok);
    setTabOrder(ok, cancel);
    setTabOrder(cancel, m_note);

    connect(ok, &QPushButton::clicked, this, &SetTimeDialog::acceptEntry);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    for (int halfHour = 0; halfHour < 48; ++halfHour)
        m_time->addItem(QTime(halfHour / 2, halfHour % 2 * 30).toString(u"HH:mm"));
    // The alarm as the main window shows it, seconds and all, so that OK keeps it as it is.
    const QString proposal = alarm ? alarmText(*alarm)
                                   : nextHalfHour(QTime::fromMSecsSinceStartOfDay(
                                                      static_cast<int>(clock.msecsSinceMidnight())))
                                         .toString(u"HH:mm");
    m_time->setCurrentIndex(m_time->findText(proposal));
    m_time->setEditText(proposal);
    m_note->setText(note);

    setWindowTitle(QStringLiteral("ｱﾗｰﾑ時刻設定"));
    // Modal to the main window only: a time-up window that rings meanwhile must stay usable.
    setWindowModality(Qt::WindowModal);
}

QString SetTimeDialog::timeText() const
{
    return m_time->currentText();
}

QString SetTimeDialog::note() const
{
    return m_note->text();
}

int SetTimeDialog::exec()
{
    if (const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        m_windows.centre(this, owner->frameGeometry());
    // The proposal is selected, so typing replaces it.
    m_time->setFocus();
    m_time->lineEdit()->selectAll();
    return QDialog::exec();
}

void SetTimeDialog::acceptEntry()
{
    // Text still being composed in an input method belongs to what the user typed.
    QGuiApplication::inputMethod()->commit();
    accept();
}
