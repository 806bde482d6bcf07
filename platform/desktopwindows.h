#pragma once

#include <QMargins>
#include <QObject>

class QWidget;

// How the program's windows stand on the desktop where Qt's window flags do not reach. Behind an
// interface so that window tests can count the requests without an X server.
class DesktopWindows
{
public:
    virtual ~DesktopWindows() = default;

    // Keeps a dialog off the taskbar whenever it is shown.
    virtual void keepOffTaskbar(QWidget *window) = 0;

    // Asks for the user's attention (the panel blinks or highlights the taskbar entry, as it
    // likes) and holds it until the window is activated or restored, or until it is set off.
    // Asking again while it is held changes nothing.
    virtual void setDemandsAttention(QWidget *window, bool on) = 0;

    // Asks the window manager which frame it will put around a window that is not shown yet;
    // it answers a little later, in the window's frame extents.
    virtual void requestFrameExtents(QWidget *window) = 0;
    // The frame the window manager puts, or will put, around the window; empty while unknown.
    virtual QMargins frameExtents(QWidget *window) = 0;
};

// EWMH and ICCCM on X11, for what Qt has no API for; elsewhere Qt alone, where it can.
class EwmhWindows final : public QObject, public DesktopWindows
{
public:
    void keepOffTaskbar(QWidget *window) override;
    void setDemandsAttention(QWidget *window, bool on) override;
    void requestFrameExtents(QWidget *window) override;
    QMargins frameExtents(QWidget *window) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
