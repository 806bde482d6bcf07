// The windows' desktop states against a real X server and window manager (Xvfb and openbox,
// which scripts/xsession.sh starts for each case), read back as the window manager reports them.
#include "platform/desktopwindows.h"
#include "xprobe.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

xcb_window_t xid(QWidget *w)
{
    return static_cast<xcb_window_t>(w->winId());
}

// Generous: the window manager answers slowly on a loaded machine under the sanitizers.
constexpr int kManageMs = 15'000;

bool settle(const std::function<bool()> &condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

class X11Services : public ::testing::Test
{
protected:
    // A plain top-level window at the given place, shown and managed.
    std::unique_ptr<QWidget> window(const QString &title, const QRect &geometry)
    {
        auto w = std::make_unique<QWidget>();
        w->setWindowTitle(title);
        w->setGeometry(geometry);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get(), kManageMs));
        const xcb_window_t id = xid(w.get());
        EXPECT_TRUE(settle([&] { return probe.stacking().contains(id); }, kManageMs));
        return w;
    }

    // How many changes of the watched properties there are once the window manager has done
    // everything asked of it so far, and everything that its own changes set off in turn:
    // rounds through it, after the X server has done all the program asked on Qt's connection,
    // until one round brings no change.
    int settledChanges()
    {
        xcb_connection_t *c =
            qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        int before = -1;
        for (int round = 0; round < 20 && before != probe.changes(); ++round) {
            before = probe.changes();
            probe.askWindowManager();
            EXPECT_TRUE(settle([&] { return probe.answered(); })) << "no answer";
        }
        EXPECT_EQ(probe.changes(), before) << "the window manager did not settle";
        return before;
    }

    // Activates the window and waits until the window manager names it active.
    void activate(QWidget *w)
    {
        w->activateWindow();
        const xcb_window_t id = xid(w);
        ASSERT_TRUE(settle([&] { return probe.activeWindow() == id; }));
    }

    XProbe probe{qgetenv("DISPLAY")};
    EwmhWindows windows;
};

// Both ways the program shows a dialog keep it off the taskbar: over its owner (the set-time
// dialog), and without an owner, made ahead above the others (the time-up window), which then
// comes up above the window that has the focus.
TEST_F(X11Services, DialogsStayOffTheTaskbarAndTheTimeUpWindowAbove)
{
    auto owner = window(QStringLiteral("owner"), QRect(50, 50, 400, 300));
    activate(owner.get());
    QDialog owned(owner.get(), Qt::Tool);
    QDialog readied(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
    owned.setGeometry(QRect(120, 100, 200, 80));
    readied.setGeometry(QRect(120, 100, 200, 80));
    windows.keepOffTaskbar(&owned);
    windows.makeOwnerlessToolWindow(&readied);
    const xcb_window_t made = xid(&readied);
    owned.show();
    readied.show();

    for (QDialog *dialog : {&owned, &readied}) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog, kManageMs));
        const xcb_window_t id = xid(dialog);
        EXPECT_TRUE(settle([&] { return probe.stacking().contains(id); }, kManageMs));
        EXPECT_TRUE(settle([&] { return probe.hasState(id, "_NET_WM_STATE_SKIP_TASKBAR"); }));
    }
    EXPECT_EQ(xid(&readied), made) << "the native window made ahead is the one shown";
    EXPECT_TRUE(probe.hasState(made, "_NET_WM_STATE_ABOVE"));
    // A tool window of its own: KWin hides those tied to a program that is not active.
    EXPECT_EQ(probe.property(made, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM),
              QList<quint32>{probe.atom("_NET_WM_WINDOW_TYPE_UTILITY")});
    EXPECT_TRUE(probe.property(made, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW).isEmpty());
    EXPECT_GT(probe.stacking().indexOf(made), probe.stacking().indexOf(xid(owner.get())));
    EXPECT_FALSE(probe.hasState(xid(owner.get()), "_NET_WM_STATE_SKIP_TASKBAR"));
}

// The main window asks for attention while minimised; in both cases the first request asks and
// the later ones leave the X server alone until the window is restored or activated.
class AttentionX11 : public X11Services, public ::testing::WithParamInterface<bool>
{};

TEST_P(AttentionX11, AsksForAttentionOnceAndHoldsIt)
{
    const bool minimised = GetParam();
    auto target = window(QStringLiteral("target"), QRect(100, 100, 200, 120));
    auto other = window(QStringLiteral("other"), QRect(400, 100, 200, 120));
    activate(other.get());
    const xcb_window_t id = xid(target.get());
    if (minimised) {
        target->showMinimized();
        ASSERT_TRUE(settle([&] { return probe.hasState(id, "_NET_WM_STATE_HIDDEN"); }, kManageMs));
    }
    // One way only: GNOME Shell would make a notification of each; the urgency bit never goes on.
    const auto attention = [&](bool on) {
        return settle([&] {
            return !probe.isUrgent(id) &&
                   probe.hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION") == on;
        });
    };
    ASSERT_TRUE(attention(false));

    windows.setDemandsAttention(target.get(), true);
    ASSERT_TRUE(attention(true));
    probe.watch(id, "WM_HINTS");
    probe.watch(id, "_NET_WM_STATE");
    // The window manager may still be answering the first call (openbox writes the state of a
    // minimised window once more); the count starts once it has done so.
    const int before = settledChanges();
    for (int call = 1; call < 4; ++call)
        windows.setDemandsAttention(target.get(), true);
    EXPECT_EQ(settledChanges(), before);
    EXPECT_TRUE(attention(true));
    EXPECT_EQ(probe.activeWindow(), xid(other.get()));

    // Armed again, the alarm takes the request back, and the next overdue alarm asks anew.
    windows.setDemandsAttention(target.get(), false);
    EXPECT_TRUE(attention(false));
    windows.setDemandsAttention(target.get(), true);
    EXPECT_TRUE(attention(true));

    if (minimised) {
        // Restored, the window no longer asks.
        target->showNormal();
        EXPECT_TRUE(attention(false));
    }
}

INSTANTIATE_TEST_SUITE_P(Shown, AttentionX11, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Minimised" : "Normal"; });

TEST_F(X11Services, ActivatingTheWindowEndsTheAttention)
{
    auto target = window(QStringLiteral("target"), QRect(100, 100, 200, 120));
    auto other = window(QStringLiteral("other"), QRect(400, 100, 200, 120));
    activate(other.get());
    const xcb_window_t id = xid(target.get());
    const auto asks = [&] {
        return probe.hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION");
    };
    windows.setDemandsAttention(target.get(), true);
    ASSERT_TRUE(settle(asks));

    activate(target.get());

    EXPECT_TRUE(settle([&] { return !asks(); }));
    // The next request asks anew, once the window is in the background again.
    activate(other.get());
    windows.setDemandsAttention(target.get(), true);
    EXPECT_TRUE(settle(asks));
}

} // namespace
