#include "frmsettime.h"

#include "clock.h"
#include "dialogfont.h"
#include "module1.h"
#include "module1api.h"
#include "timetext.h"
#include "twips.h"

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
        while (excess > 0 && begin > 0) {
            begin -= (begin >= 2 && text[begin - 1].isLowSurrogate() &&
                      text[begin - 2].isHighSurrogate())
                         ? 2
                         : 1;
            --excess;
        }
        text.remove(begin, end - begin);
        pos = begin;
        // A cursor too close to the start to make room: drop the rest from the end.
        while (excess-- > 0)
            text.chop(text.size() >= 2 && text.back().isLowSurrogate() &&
                              text[text.size() - 2].isHighSurrogate()
                          ? 2
                          : 1);
        pos = qMin(pos, static_cast<int>(text.size()));
        return Acceptable;
    }

private:
    static int codePoints(const QString &text)
    {
        int n = 0;
        for (qsizetype i = 0; i < text.size(); ++i, ++n) {
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
                ++i;
        }
        return n;
    }

    int m_limit;
};

// "hh:mm" of the text a time stands for; a text that is no time is shown as it is.
QString formatHhMm(const QString &text)
{
    const std::optional<TimeValue> time = convert(text);
    return time ? format(*time, TimeFormat::ShortTime) : text;
}

} // namespace

frmSetTime::frmSetTime(QWidget *owner, const Clock &clock)
    : QDialog(owner,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_clock(clock)
{
    setObjectName(QStringLiteral("frmSetTime"));
    KeepOffTaskbar(this);
    setFont(dialogFont());

    Label1 = new QLabel(QStringLiteral("時刻"), this);
    cmbTimeSet = new QComboBox(this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    Label2 = new QLabel(QStringLiteral("用件"), this);
    txtYouken = new QLineEdit(this);

    Label1->setObjectName(QStringLiteral("Label1"));
    cmbTimeSet->setObjectName(QStringLiteral("cmbTimeSet"));
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    Label2->setObjectName(QStringLiteral("Label2"));
    txtYouken->setObjectName(QStringLiteral("txtYouken"));

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

    setFixedSize(twipsToPx(3210, 1560));
    // The labels size themselves to their text; only their position is fixed.
    Label1->move(TwipsRect{240, 180, 360, 180}.toPx().topLeft());
    Label1->adjustSize();
    cmbTimeSet->setGeometry(TwipsRect{720, 120, 1335, 300}.toPx());
    cmdOK->setGeometry(TwipsRect{1020, 1140, 975, 315}.toPx());
    cmdCancel->setGeometry(TwipsRect{2100, 1140, 975, 315}.toPx());
    Label2->move(TwipsRect{240, 795, 360, 180}.toPx().topLeft());
    Label2->adjustSize();
    txtYouken->setGeometry(TwipsRect{720, 720, 2355, 285}.toPx());

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

    centreOverOwner();
    // As a Windows dialog does: the proposal is selected, so typing replaces it.
    cmbTimeSet->setFocus();
    cmbTimeSet->lineEdit()->selectAll();
}

// The next half-hour boundary strictly after now, or the alarm the main window holds,
// as "hh:mm".
QString frmSetTime::proposedTime() const
{
    if (gAlarmTime.isTime())
        return format(*gAlarmTime.time(), TimeFormat::ShortTime);
    if (!gAlarmTime.isEmpty())
        return formatHhMm(gAlarmTime.text());

    // The whole parts of (t + 1800) / 3600 and (t + 1800) / 1800 for t in seconds, computed
    // on the milliseconds: as a single-precision number of seconds, t rounds up to the next
    // half hour in its last few milliseconds before it, and the proposal would skip one.
    const qint64 ms = m_clock.msecsSinceMidnight();
    const int hour = static_cast<int>((ms + 1'800'000) / 3'600'000 % 24);
    const int half = static_cast<int>((ms + 1'800'000) / 1'800'000 % 2);
    return formatHhMm(format(hour, NumberFormat::TwoDigitsColon) +
                      format(half * 30, NumberFormat::TwoDigits));
}

// Centres the dialog's outer frame over the main window's. The dialog is not shown yet, so
// its own frame is unknown; the owner's stands in for it, as the window manager decorates
// both alike.
void frmSetTime::centreOverOwner()
{
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner)
        return;
    const QRect main = owner->frameGeometry();
    const QSize outer = size() + (main.size() - owner->size());
    move((main.width() - outer.width()) / 2 + main.left(),
         (main.height() - outer.height()) / 2 + main.top());
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
