#include "forms/frmsettime.h"
#include "formtest.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

class SetTimeTest : public FormTest
{
protected:
    void SetUp() override
    {
        clock.set(10, 10, 0);
        owner.setGeometry(100, 200, 400, 160);
        owner.show();
    }

    // Opens the dialog modally and runs answer on it once it is up.
    int open(const std::function<void(frmSetTime &)> &answer)
    {
        frmSetTime dialog(&owner, clock, windows);
        bool answered = false;
        whenModal<frmSetTime>([&](frmSetTime *shown) {
            answered = true;
            answer(*shown);
        });
        const int result = dialog.exec();
        EXPECT_TRUE(answered);
        return result;
    }

    // Opens the dialog, lets look at it, and cancels it.
    void look(const std::function<void(frmSetTime &)> &see)
    {
        open([&](frmSetTime &dialog) {
            see(dialog);
            dialog.reject();
        });
    }

    static QComboBox *combo(const frmSetTime &d) { return child<QComboBox>(&d, "cmbTimeSet"); }
    static QLineEdit *note(const frmSetTime &d) { return child<QLineEdit>(&d, "txtYouken"); }

    QString proposalAt(int h, int m, int s, int ms = 0)
    {
        clock.set(h, m, s, ms);
        QString proposed;
        look([&](frmSetTime &dialog) { proposed = combo(dialog)->currentText(); });
        return proposed;
    }

    QWidget owner;
};

// --- Load ---------------------------------------------------------------------------------

TEST_F(SetTimeTest, OffersTheFortyEightHalfHourSlots)
{
    look([](frmSetTime &dialog) {
        QComboBox *list = combo(dialog);
        ASSERT_EQ(list->count(), 48);
        for (int i = 0; i < 48; ++i) {
            const QString expected = QString::asprintf("%02d:%02d", i / 2, i % 2 * 30);
            EXPECT_EQ(list->itemText(i), expected) << i;
        }
    });
}

struct ProposalRow
{
    int h, m, s, ms;
    const char *proposed;
};

class ProposalTest : public SetTimeTest, public testing::WithParamInterface<ProposalRow>
{};

TEST_P(ProposalTest, ProposesTheNextHalfHourStrictlyAfterNow)
{
    const ProposalRow row = GetParam();
    EXPECT_EQ(proposalAt(row.h, row.m, row.s, row.ms), row.proposed);
    EXPECT_EQ(clock.reads, 1);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, ProposalTest, testing::Values(
    ProposalRow{10, 0, 0, 0, "10:30"},
    ProposalRow{10, 10, 0, 0, "10:30"},
    ProposalRow{10, 29, 59, 0, "10:30"},
    ProposalRow{10, 29, 59, 900, "10:30"},
    ProposalRow{10, 30, 0, 0, "11:00"},
    ProposalRow{10, 40, 0, 0, "11:00"},
    ProposalRow{23, 45, 0, 0, "00:00"},
    ProposalRow{23, 30, 0, 0, "00:00"},
    ProposalRow{23, 29, 59, 0, "23:30"},
    ProposalRow{0, 0, 0, 0, "00:30"},
    ProposalRow{9, 5, 0, 0, "09:30"},
    // Single-precision seconds would round these up to the boundary and skip a half hour.
    ProposalRow{10, 29, 59, 999, "10:30"},
    ProposalRow{23, 59, 59, 999, "00:00"}));
// clang-format on

struct ExistingAlarmRow
{
    AlarmValue alarm;
    const char *shown;
};

class ExistingAlarmTest : public SetTimeTest, public testing::WithParamInterface<ExistingAlarmRow>
{};

TEST_P(ExistingAlarmTest, ShowsTheAlarmWithoutReadingTheClock)
{
    gAlarmTime = GetParam().alarm;
    gYouken = QStringLiteral("会議");
    look([](frmSetTime &dialog) {
        EXPECT_EQ(combo(dialog)->currentText(), GetParam().shown);
        EXPECT_EQ(note(dialog)->text(), "会議");
    });
    EXPECT_EQ(clock.reads, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExistingAlarmTest,
    testing::Values(ExistingAlarmRow{AlarmValue(QStringLiteral("07:30")), "07:30"},
                    ExistingAlarmRow{AlarmValue(QStringLiteral("7:30")), "07:30"},
                    ExistingAlarmRow{hms(7, 30), "07:30"},
                    // An alarm with seconds keeps them, so that OK leaves it as it is.
                    ExistingAlarmRow{hms(17, 45, 59), "17:45:59"},
                    ExistingAlarmRow{AlarmValue(QStringLiteral("17:45:59")), "17:45:59"},
                    // Not a time (cannot come from the main window, but must not crash).
                    ExistingAlarmRow{AlarmValue(QStringLiteral("abc")), "abc"}));

TEST_F(SetTimeTest, OpensWithTheProposalSelectedAndTheFocusInTheCombo)
{
    look([](frmSetTime &dialog) {
        QWidget *focus = dialog.focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus == combo(dialog) || combo(dialog)->isAncestorOf(focus))
            << focus->metaObject()->className();
        EXPECT_EQ(combo(dialog)->lineEdit()->selectedText(), "10:30");
    });
}

// --- OK and cancel ------------------------------------------------------------------------

enum class Answer { ClickOk, EnterInCombo, EnterInNote, ClickCancel, Escape, TitleBarClose };

struct AnswerRow
{
    const char *name;
    Answer answer;
    bool writes;
};

class AnswerTest : public SetTimeTest, public testing::WithParamInterface<AnswerRow>
{};

TEST_P(AnswerTest, WritesTheEntriesOnlyOnOk)
{
    gAlarmTime = AlarmValue(QStringLiteral("07:30"));
    gYouken = QStringLiteral("古いメモ");
    const int result = open([](frmSetTime &dialog) {
        combo(dialog)->setEditText(QStringLiteral("08:15"));
        note(dialog)->setText(QStringLiteral("新しいメモ"));
        switch (GetParam().answer) {
        case Answer::ClickOk:
            child<QPushButton>(&dialog, "cmdOK")->click();
            break;
        case Answer::EnterInCombo:
            QTest::keyClick(combo(dialog)->lineEdit(), Qt::Key_Return);
            break;
        case Answer::EnterInNote:
            QTest::keyClick(note(dialog), Qt::Key_Enter, Qt::KeypadModifier);
            break;
        case Answer::ClickCancel:
            child<QPushButton>(&dialog, "cmdCancel")->click();
            break;
        case Answer::Escape:
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
            break;
        case Answer::TitleBarClose:
            dialog.close();
            break;
        }
    });
    if (GetParam().writes) {
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_EQ(gAlarmTime, AlarmValue(QStringLiteral("08:15")));
        EXPECT_EQ(gYouken, "新しいメモ");
    } else {
        EXPECT_EQ(result, QDialog::Rejected);
        EXPECT_EQ(gAlarmTime, AlarmValue(QStringLiteral("07:30")));
        EXPECT_EQ(gYouken, "古いメモ");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, AnswerTest,
                         testing::Values(AnswerRow{"ClickOk", Answer::ClickOk, true},
                                         AnswerRow{"EnterInCombo", Answer::EnterInCombo, true},
                                         AnswerRow{"EnterInNote", Answer::EnterInNote, true},
                                         AnswerRow{"ClickCancel", Answer::ClickCancel, false},
                                         AnswerRow{"Escape", Answer::Escape, false},
                                         AnswerRow{"TitleBarClose", Answer::TitleBarClose, false}),
                         [](const auto &info) { return std::string(info.param.name); });

// What OK writes is the time as the combo holds it, as text: the proposal Enter takes right
// after opening, a time typed over it (not added to the list), a picked slot, nothing, or text
// that is no time.
TEST_F(SetTimeTest, OkWritesTheComboTextAsItIs)
{
    const struct
    {
        QString before; // the alarm the dialog opens with: none proposes 10:30
        std::function<void(frmSetTime &)> enter;
        QString written;
    } rows[] = {
        {"", [](frmSetTime &) {}, "10:30"},
        {"", [](frmSetTime &d) { QTest::keyClicks(d.focusWidget(), QStringLiteral("12:34")); },
         "12:34"},
        {"07:30", [](frmSetTime &d) { combo(d)->setCurrentIndex(17); }, "08:30"},
        {"07:30", [](frmSetTime &d) { combo(d)->setEditText(QString()); }, ""},
        {"07:30", [](frmSetTime &d) { combo(d)->setEditText(QStringLiteral("abc")); }, "abc"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.written.toStdString());
        gAlarmTime = AlarmValue(row.before);
        int count = 0;
        open([&](frmSetTime &dialog) {
            row.enter(dialog);
            count = combo(dialog)->count();
            QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(count, 48);
        EXPECT_EQ(gAlarmTime, AlarmValue(row.written));
    }
}

// --- The note's length limit --------------------------------------------------------------

QString repeated(const char *piece, int times)
{
    return QString::fromUtf8(piece).repeated(times);
}

int codePoints(const QString &text)
{
    return static_cast<int>(text.toUcs4().size());
}

struct LimitRow
{
    const char *name;
    QString before;
    int cursor;
    QString inserted;
    QString after;
};

class NoteLimitTest : public SetTimeTest, public testing::WithParamInterface<LimitRow>
{};

// insert() is what paste() and committed input-method text go through.
TEST_P(NoteLimitTest, KeepsFortyCharactersAsAPersonCountsThem)
{
    const LimitRow row = GetParam();
    look([&](frmSetTime &dialog) {
        QLineEdit *edit = note(dialog);
        edit->setText(row.before);
        edit->setCursorPosition(row.cursor);
        edit->insert(row.inserted);
        EXPECT_EQ(edit->text(), row.after);
        EXPECT_LE(codePoints(edit->text()), frmSetTime::kYoukenMaxLength);
        EXPECT_TRUE(QStringView(edit->text()).isValidUtf16());
    });
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoteLimitTest,
    testing::Values(LimitRow{"FortyFit", "", 0, repeated("あ", 40), repeated("あ", 40)},
                    LimitRow{"LongPasteKeepsItsStart", "", 0, repeated("a", 30) + repeated("b", 20),
                             repeated("a", 30) + repeated("b", 10)},
                    LimitRow{"FortyEmojiFit", "", 0, repeated("😀", 40), repeated("😀", 40)},
                    LimitRow{"EmojiNeverCutInHalf", repeated("a", 39), 39, repeated("😀", 3),
                             repeated("a", 39) + "😀"},
                    LimitRow{"FullBoxTakesNothing", repeated("😀", 40), 40, "x", repeated("😀", 40)},
                    LimitRow{"InsertInTheMiddleKeepsTheText", "abc", 1, repeated("x", 45),
                             "a" + repeated("x", 37) + "bc"},
                    LimitRow{"MixedCounts", repeated("会", 35), 35, "😀a😀b😀c",
                             repeated("会", 35) + "😀a😀b😀"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(SetTimeTest, TypingStopsAtFortyCharacters)
{
    look([](frmSetTime &dialog) {
        QLineEdit *edit = note(dialog);
        QTest::keyClicks(edit, repeated("a", 45));
        EXPECT_EQ(edit->text(), repeated("a", 40));

        edit->clear();
        // An emoji typed is one key event carrying two UTF-16 units.
        for (int i = 0; i < 41; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("🎉"));
            QApplication::sendEvent(edit, &press);
        }
        EXPECT_EQ(edit->text(), repeated("🎉", 40));
    });
}

TEST_F(SetTimeTest, ComposedInputIsTakenWithinTheLimit)
{
    look([](frmSetTime &dialog) {
        QLineEdit *edit = note(dialog);
        EXPECT_TRUE(edit->testAttribute(Qt::WA_InputMethodEnabled));
        EXPECT_TRUE(combo(dialog)->lineEdit()->testAttribute(Qt::WA_InputMethodEnabled));
        edit->setText(repeated("a", 37));

        QInputMethodEvent composing(QStringLiteral("かいぎしつ"), {});
        QApplication::sendEvent(edit, &composing);
        EXPECT_EQ(edit->text(), repeated("a", 37)) << "preedit is not text yet";

        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("会議室です"));
        QApplication::sendEvent(edit, &commit);
        EXPECT_EQ(edit->text(), repeated("a", 37) + "会議室");
    });
}

// --- Layout -------------------------------------------------------------------------------

TEST_F(SetTimeTest, TabOrderRunsComboOkCancelNote)
{
    look([](frmSetTime &dialog) {
        const std::vector<QWidget *> order = {combo(dialog), child<QWidget>(&dialog, "cmdOK"),
                                              child<QWidget>(&dialog, "cmdCancel"), note(dialog)};
        std::vector<QWidget *> seen;
        QWidget *w = combo(dialog);
        for (int steps = 0; steps < 50 && seen.size() < order.size(); ++steps) {
            if (std::find(order.begin(), order.end(), w) != order.end() &&
                (w->focusPolicy() & Qt::TabFocus))
                seen.push_back(w);
            w = w->nextInFocusChain();
        }
        EXPECT_EQ(seen, order);
        EXPECT_EQ(child<QLabel>(&dialog, "Label1")->focusPolicy(), Qt::NoFocus);
        EXPECT_EQ(child<QLabel>(&dialog, "Label2")->focusPolicy(), Qt::NoFocus);
    });
}

struct CentreRow
{
    QRect main;
    QPoint expected;
};

class CentreTest : public SetTimeTest, public testing::WithParamInterface<CentreRow>
{};

TEST_P(CentreTest, CentresOverTheMainWindow)
{
    // The rows give outer (frame) rectangles; offscreen windows have a 2-pixel frame, and the
    // dialog is given one too.
    windows.frame = QMargins(2, 2, 2, 2);
    const QSize frame = owner.frameGeometry().size() - owner.size();
    ASSERT_EQ(frame, QSize(4, 4));
    owner.resize(GetParam().main.size() - frame);
    owner.move(GetParam().main.topLeft());
    ASSERT_EQ(owner.frameGeometry(), GetParam().main);
    look([&](frmSetTime &dialog) {
        EXPECT_EQ(dialog.frameGeometry().size(), QSize(218, 108));
        EXPECT_EQ(dialog.frameGeometry().topLeft(), GetParam().expected);
        const QPoint offset = dialog.frameGeometry().center() - owner.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2);
    });
}

// The dialog is 214 x 104 inside, 218 x 108 outside.
INSTANTIATE_TEST_SUITE_P(Table, CentreTest,
                         testing::Values(CentreRow{{100, 200, 400, 160}, {191, 226}},
                                         CentreRow{{0, 0, 218, 108}, {0, 0}},
                                         CentreRow{{640, 300, 330, 120}, {696, 306}},
                                         // A main window smaller than the dialog.
                                         CentreRow{{500, 500, 150, 60}, {466, 476}}));

} // namespace
