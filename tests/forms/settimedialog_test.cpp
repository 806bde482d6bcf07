#include "forms/settimedialog.h"
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

    // Opens the dialog (with the alarm and note given) modally and runs answer on it once it is
    // up; an accepted answer is kept in time and note.
    int open(const std::function<void(SetTimeDialog &)> &answer,
             std::optional<QTime> alarm = std::nullopt, const QString &oldNote = QString())
    {
        SetTimeDialog dialog(&owner, clock, windows, alarm, oldNote);
        bool answered = false;
        whenModal<SetTimeDialog>([&](SetTimeDialog *shown) {
            answered = true;
            answer(*shown);
        });
        const int result = dialog.exec();
        EXPECT_TRUE(answered);
        time = dialog.timeText();
        noteText = dialog.note();
        return result;
    }

    // Opens the dialog, lets look at it, and cancels it.
    void look(const std::function<void(SetTimeDialog &)> &see,
              std::optional<QTime> alarm = std::nullopt, const QString &oldNote = QString())
    {
        open(
            [&](SetTimeDialog &dialog) {
                see(dialog);
                dialog.reject();
            },
            alarm, oldNote);
    }

    static QComboBox *combo(const SetTimeDialog &d) { return child<QComboBox>(&d, "cmbTimeSet"); }
    static QLineEdit *note(const SetTimeDialog &d) { return child<QLineEdit>(&d, "txtYouken"); }

    QString time, noteText;
    QWidget owner;
};

// --- Load ---------------------------------------------------------------------------------

TEST_F(SetTimeTest, OffersTheFortyEightHalfHourSlots)
{
    look([](SetTimeDialog &dialog) {
        QComboBox *list = combo(dialog);
        ASSERT_EQ(list->count(), 48);
        for (int i = 0; i < 48; ++i) {
            const QString expected = QString::asprintf("%02d:%02d", i / 2, i % 2 * 30);
            EXPECT_EQ(list->itemText(i), expected) << i;
        }
    });
}

// Without an alarm it proposes the next half hour by the clock, read once; with one, the alarm
// as the main window shows it, seconds and all, so that OK leaves it as it is.
TEST_F(SetTimeTest, ProposesTheNextHalfHourOrTheAlarm)
{
    clock.set(10, 29, 59, 999);
    look([](SetTimeDialog &dialog) {
        EXPECT_EQ(combo(dialog)->currentText(), "10:30");
        EXPECT_EQ(note(dialog)->text(), "");
    });
    EXPECT_EQ(clock.reads, 1);

    for (const auto &[alarm, shown] :
         {std::pair{QTime(7, 30), "07:30"}, std::pair{QTime(17, 45, 59), "17:45:59"}}) {
        look(
            [&](SetTimeDialog &dialog) {
                EXPECT_EQ(combo(dialog)->currentText(), shown);
                EXPECT_EQ(note(dialog)->text(), "会議");
            },
            alarm, QStringLiteral("会議"));
    }
    EXPECT_EQ(clock.reads, 1);
}

TEST_F(SetTimeTest, OpensWithTheProposalSelectedAndTheFocusInTheCombo)
{
    look([](SetTimeDialog &dialog) {
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

TEST_P(AnswerTest, AcceptsOnlyOnOk)
{
    const int result = open(
        [](SetTimeDialog &dialog) {
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
        },
        QTime(7, 30), QStringLiteral("古いメモ"));
    EXPECT_EQ(result, GetParam().writes ? QDialog::Accepted : QDialog::Rejected);
    if (GetParam().writes) {
        EXPECT_EQ(time, "08:15");
        EXPECT_EQ(noteText, "新しいメモ");
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

// The answer is the time as the combo holds it, as text: the proposal Enter takes right after
// opening, a time typed over it (not added to the list), a picked slot, nothing, or text that is
// no time.
TEST_F(SetTimeTest, AnswersTheComboTextAsItIs)
{
    const struct
    {
        std::optional<QTime> before; // the alarm the dialog opens with: none proposes 10:30
        std::function<void(SetTimeDialog &)> enter;
        QString answered;
    } rows[] = {
        {std::nullopt, [](SetTimeDialog &) {}, "10:30"},
        {std::nullopt,
         [](SetTimeDialog &d) { QTest::keyClicks(d.focusWidget(), QStringLiteral("12:34")); },
         "12:34"},
        {QTime(7, 30), [](SetTimeDialog &d) { combo(d)->setCurrentIndex(17); }, "08:30"},
        {QTime(7, 30), [](SetTimeDialog &d) { combo(d)->setEditText(QString()); }, ""},
        {QTime(7, 30), [](SetTimeDialog &d) { combo(d)->setEditText(QStringLiteral("abc")); },
         "abc"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.answered.toStdString());
        int count = 0;
        open(
            [&](SetTimeDialog &dialog) {
                row.enter(dialog);
                count = combo(dialog)->count();
                QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
            },
            row.before);
        EXPECT_EQ(count, 48);
        EXPECT_EQ(time, row.answered);
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
    look([&](SetTimeDialog &dialog) {
        QLineEdit *edit = note(dialog);
        edit->setText(row.before);
        edit->setCursorPosition(row.cursor);
        edit->insert(row.inserted);
        EXPECT_EQ(edit->text(), row.after);
        EXPECT_LE(codePoints(edit->text()), SetTimeDialog::kNoteMaxLength);
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
    look([](SetTimeDialog &dialog) {
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
    look([](SetTimeDialog &dialog) {
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
    look([](SetTimeDialog &dialog) {
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
    look([&](SetTimeDialog &dialog) {
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
