#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

// How the program's windows stand on the desktop where Qt's window flags do not reach.
class DesktopWindows
{
public:
    // Who has the keyboard: a window of this program, nobody, or another program's window,
    // which may be full screen.
    enum class Keyboard { Ours, Nobody, Other, OtherFullScreen };

    virtual ~DesktopWindows() = default;

    // Keeps a dialog off the taskbar whenever it is shown.
    virtual void keepOffTaskbar(QWidget *window) = 0;
    // Makes a window that has no owner, not shown yet, a tool window of its own (not tied to the
    // program's other windows, which KWin hides while another program is active), off the
    // taskbar.
    virtual void makeOwnerlessToolWindow(QWidget *window) = 0;

    // Asks for the user's attention (the panel shows it as it likes) and holds it until the
    // window is activated or restored, or until it is set off.
    virtual void setDemandsAttention(QWidget *window, bool on) = 0;

    // Asks now which frame a window shown later will get, for centre() to have the answer.
    virtual void prepareFrame(QWidget *window) = 0;
    // Places a window about to be shown so that its frame, as drawn, is centred in area.
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
    // Its native event filter goes with it.
    EwmhWindows();

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
    // Windows placed by a frame not their own, to be placed again once their own is known.
    struct Pending
    {
        QPointer<QWidget> window;
        QRect area;
    };
    QHash<quint32, Pending> m_placedByGuess;
};
