#include "module1api.h"

#include "audio.h"
#include "x11window.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

constexpr unsigned kSndNoDefault = 0x2;
constexpr char kAttentionProperty[] = "alarmAttention";

// Runs an action on one kind of event of the window it watches. It has no meta-object of its
// own, so a window's hook is found again by its name.
class WindowHook final : public QObject
{
public:
    using Action = void (*)(QWidget *window);

    static void install(QWidget *window, const char *name, QEvent::Type type, Action action)
    {
        if (!window->findChild<QObject *>(QLatin1String(name), Qt::FindDirectChildrenOnly))
            window->installEventFilter(new WindowHook(window, name, type, action));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == m_type)
            if (auto *window = qobject_cast<QWidget *>(watched))
                m_action(window);
        return false;
    }

private:
    WindowHook(QWidget *window, const char *name, QEvent::Type type, Action action)
        : QObject(window), m_type(type), m_action(action)
    {
        setObjectName(QLatin1String(name));
    }

    QEvent::Type m_type;
    Action m_action;
};

void setAttention(QWidget *window, bool on)
{
    window->setProperty(kAttentionProperty, on);
    // Cleared once the user brings the window to the front, as Windows does with a flashed
    // taskbar entry.
    WindowHook::install(window, "alarmAttentionReset", QEvent::WindowActivate, [](QWidget *w) {
        if (w->property(kAttentionProperty).toBool())
            FlashWindow(w, false);
    });
    WindowHook::install(window, "alarmAttentionRestore", QEvent::WindowStateChange, [](QWidget *w) {
        if (!w->isMinimized() && w->property(kAttentionProperty).toBool())
            FlashWindow(w, false);
    });
    // Panels differ in which of the two they read.
    if (x11::available()) {
        x11::setUrgency(window, on);
        x11::setNetWmState(window, "_NET_WM_STATE_DEMANDS_ATTENTION", on);
    } else if (on) {
        QApplication::alert(window);
    }
}

// Shows the window without activating it, and leaves the widget's own setting as it was.
void showWithoutActivating(QWidget *window)
{
    const bool quiet = window->testAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->show();
    window->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void setStaysOnTop(QWidget *window, bool on)
{
    const Qt::WindowFlags flags = window->windowFlags().setFlag(Qt::WindowStaysOnTopHint, on);
    if (flags == window->windowFlags())
        return;
    // Qt's setWindowFlags() would make the native window anew, hiding a shown window and
    // moving a hidden one by a frame it does not know yet. The flag changes in place instead,
    // and on X11 the window manager changes the state of a mapped window; an unmapped one
    // takes it from the flags when it is mapped.
    window->overrideWindowFlags(flags);
    if (QWindow *handle = window->windowHandle())
        handle->setFlags(flags);
    if (window->isVisible())
        x11::setNetWmState(window, "_NET_WM_STATE_ABOVE", on);
}

} // namespace

long SetWindowPos(HWND hWnd, std::intptr_t hWndInsertAfter, int, int, int, int, unsigned wFlags)
{
    if (!hWnd)
        return 0;
    QWidget *window = hWnd->window();
    if (hWndInsertAfter == HWND_TOPMOST || hWndInsertAfter == HWND_NOTOPMOST)
        setStaysOnTop(window, hWndInsertAfter == HWND_TOPMOST);
    if ((wFlags & SWP_SHOWWINDOW) && !window->isVisible())
        showWithoutActivating(window);
    return 1;
}

long FlashWindow(HWND hWnd, bool bInvert)
{
    if (!hWnd)
        return 0;
    QWidget *window = hWnd->window();
    const bool was = window->property(kAttentionProperty).toBool();
    // Asked for once and held: each panel shows it its own way (a blink, a highlight, a
    // notification), and asking anew while it is held would start that over each time.
    if (bInvert != was)
        setAttention(window, bInvert);
    return was ? 1 : 0;
}

long sndPlaySoundA(const QString &lpszSoundName, unsigned uFlags)
{
    // Always asynchronous: the program only plays with SND_ASYNC. Even reading the file is
    // left to the sound thread, so that the time-up window is not held up by it.
    return queueSound(lpszSoundName, !(uFlags & kSndNoDefault)) ? 1 : 0;
}

void PrepareSound()
{
    if (QCoreApplication::instance())
        prepareSound();
}

void KeepOffTaskbar(HWND hWnd)
{
    if (!hWnd || !hWnd->isWindow())
        return;
    // Tool windows stay off most taskbars by their type alone; the explicit state holds for
    // every panel. It is written just before each map: the window manager drops it when the
    // window is hidden.
    WindowHook::install(hWnd, "alarmSkipTaskbar", QEvent::Show, [](QWidget *w) {
        x11::setNetWmState(w, "_NET_WM_STATE_SKIP_TASKBAR", true);
    });
}

void SetTopMost(HWND hWnd, bool makeTop)
{
    SetWindowPos(hWnd, makeTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}
