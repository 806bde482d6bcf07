#pragma once

#include "platform/alarmsound.h"
#include "platform/desktopwindows.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <utility>

// Records what the windows ask of the desktop, instead of touching X11.
class FakeWindows final : public DesktopWindows
{
public:
    void keepOffTaskbar(QWidget *window) override { offTaskbar.append(window); }
    void makeOwnerlessToolWindow(QWidget *window) override { ownerlessTools.append(window); }
    void setDemandsAttention(QWidget *window, bool on) override { attention.append({window, on}); }
    void prepareFrame(QWidget *window) override { framePrepared.append(window); }
    // Places the window by the frame the test gives.
    void centre(QWidget *window, const QRect &area) override
    {
        centred.append({window, area});
        window->setGeometry(centredClientArea(window->size(), frame, area));
    }
    Keyboard keyboard() override { return keyboardAt; }
    void showWithoutFocus(QWidget *window) override
    {
        shownWithoutFocus.append(window);
        window->show();
    }

    QList<QWidget *> offTaskbar, ownerlessTools;
    QList<std::pair<QWidget *, bool>> attention;
    QList<QWidget *> framePrepared;
    QList<std::pair<QWidget *, QRect>> centred;
    QMargins frame;
    Keyboard keyboardAt = Keyboard::Ours;
    QList<QWidget *> shownWithoutFocus;
};

// Records the sounds asked for, instead of playing them.
class FakeSound final : public AlarmSound
{
public:
    void prepare() override { ++prepared; }
    void play(const QString &path) override { played.append(path); }

    int prepared = 0;
    QStringList played;
};
