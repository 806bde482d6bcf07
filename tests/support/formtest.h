#pragma once

// What the window tests share: the fakes of the clock and the desktop in a fixture, a way to
// answer a modal window, and finding controls by their object names.
#include "fakeclock.h"
#include "fakedesktop.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The control of parent with that object name; a test that looks for one that is not there
// fails.
template <typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Runs action on the modal window of type T as soon as the event loop shows it, for as long as
// *watching holds (a window that may not come is looked for only while the caller waits for
// it). Should the window still be open after the action, or some other window be modal
// instead, it is closed so that the test fails rather than hangs.
template <typename T>
void whenModal(std::function<void(T *)> action,
               std::shared_ptr<bool> watching = std::make_shared<bool>(true), int triesLeft = 100)
{
    QTimer::singleShot(0, [action, watching, triesLeft] {
        if (!*watching)
            return;
        if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
            *watching = false;
            action(window);
            if (QApplication::activeModalWidget() == window) {
                ADD_FAILURE() << T::staticMetaObject.className() << " is still open";
                window->close();
            }
        } else if (triesLeft > 0) {
            whenModal<T>(action, watching, triesLeft - 1);
        } else {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className();
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
        }
    });
}

class FormTest : public testing::Test
{
protected:
    FakeClock clock;
    FakeWindows windows;
    FakeSound sound;
};
