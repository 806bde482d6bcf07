#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// How the program's windows stand on the desktop where Qt's window flags do not reach. Behind an
// interface so that window tests can count the requests without an X server.
class DesktopWindows
{
public:
    // Who has the keyboard as the desktop tells it: one of this program's windows, nobody,
    // another program's window, or another program's full-screen window (which some window
    // managers keep even above windows kept above, while it has the keyboard).
    enum class Keyboard { Ours, Nobody, Other, OtherFullScreen };

    virtual ~DesktopWindows() = default;

    // Keeps a dialog off the taskbar whenever it is shown.
    virtual void keepOffTaskbar(QWidget *window) = 0;
    // Makes a window that has no owner, not shown yet, a tool window of its own, off the taskbar.
    // A Qt::Tool window is tied to the program's other windows, and KWin hides such windows
    // while another program is active.
    virtual void makeOwnerlessToolWindow(QWidget *window) = 0;

    // Asks for the user's attention (the panel blinks or highlights the taskbar entry, as it
    // likes) and holds it until the window is activated or restored, or until it is set off.
    // Asking again while it is held changes nothing.
    virtual void setDemandsAttention(QWidget *window, bool on) = 0;

    // Asks the window manager now which frame it will put around a window shown later, so that
    // centre() has the answer at hand then.
    virtual void prepareFrame(QWidget *window) = 0;
    // Places a window about to be shown so that its frame, as the window manager will draw it,
    // is centred in area.
    virtual void centre(QWidget *window, const QRect &area) = 0;

    virtual Keyboard keyboard() = 0;
    // Shows the window above the others, leaving the keyboard where it is.
    virtual void showWithoutFocus(QWidget *window) = 0;
};

// Where the client area of a window of the given size goes for its frame to be centred in area.
QRect centredClientArea(const QSize &size, const QMargins &frame, const QRect &area);

// EWMH and ICCCM on X11, for what Qt has no API for; elsewhere Qt alone, where it can.
class EwmhWindows final : public QObject, public DesktopWindows, public QAbstractNativeEventFilter
{
public:
    EwmhWindows();
    ~EwmhWindows() override;

    void keepOffTaskbar(QWidget *window) override;
    void makeOwnerlessToolWindow(QWidget *window) override;
    void setDemandsAttention(QWidget *window, bool on) override;
    void prepareFrame(QWidget *window) override;
    void centre(QWidget *window, const QRect &area) override;
    Keyboard keyboard() override;
    void showWithoutFocus(QWidget *window) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override;

private:
    // A window placed by a frame that was not its own, to be placed again by its own as soon as
    // the window manager tells it.
    struct Pending
    {
        QPointer<QWidget> window;
        QRect area;
    };
    QHash<quint32, Pending> m_placedByGuess;
};
