#pragma once

#include "platform/alarmsound.h"
#include "platform/desktopwindows.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// Records what the windows ask of the desktop, instead of touching X11.
class FakeWindows final : public DesktopWindows
{
public:
    void keepOffTaskbar(QWidget *window) override { offTaskbar.append(window); }
    void setDemandsAttention(QWidget *window, bool on) override { attention.append({window, on}); }
    void requestFrameExtents(QWidget *window) override { frameRequested.append(window); }
    QMargins frameExtents(QWidget *) override { return frame; }

    QList<QWidget *> offTaskbar;
    QList<std::pair<QWidget *, bool>> attention;
    QList<QWidget *> frameRequested;
    QMargins frame; // what frameExtents() answers
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
