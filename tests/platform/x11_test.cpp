// SetTopMost and FlashWindow against a real X server and window manager (Xvfb and openbox,
// which scripts/xsession.sh starts for each case), read back as the window manager reports them.
#include "module1api.h"
#include "xprobe.h"

#include <QDialog>
#include <QEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

xcb_window_t xid(QWidget *w)
{
    return static_cast<xcb_window_t>(w->winId());
}

// Counts the times a widget is hidden: a window whose flags Qt changes is hidden first.
class HideCounter final : public QObject
{
public:
    int hides = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        hides += event->type() == QEvent::Hide;
        return false;
    }
};

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
    std::unique_ptr<QWidget> window(const QString &title, const QRect &geometry, bool show = true)
    {
        auto w = std::make_unique<QWidget>();
        w->setWindowTitle(title);
        w->setGeometry(geometry);
        if (show) {
            w->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get(), kManageMs));
            const xcb_window_t id = xid(w.get());
            EXPECT_TRUE(settle([&] { return probe.stacking().contains(id); }, kManageMs));
        }
        return w;
    }

    // Activates the window and waits until the window manager names it active.
    void activate(QWidget *w)
    {
        w->activateWindow();
        const xcb_window_t id = xid(w);
        ASSERT_TRUE(settle([&] { return probe.activeWindow() == id; }));
    }

    XProbe probe{qgetenv("DISPLAY")};
};

TEST_F(X11Services, TopMostPutsVisibleWindowAboveInPlaceWithoutFocus)
{
    auto target = window(QStringLiteral("target"), QRect(100, 120, 220, 140));
    auto other = window(QStringLiteral("other"), QRect(150, 160, 300, 200));
    activate(other.get());
    HideCounter counter;
    target->installEventFilter(&counter);
    const xcb_window_t id = xid(target.get());
    const QRect before = probe.geometry(id);
    ASSERT_LT(probe.stacking().indexOf(id), probe.stacking().indexOf(xid(other.get())));

    SetTopMost(target.get(), true);

    EXPECT_TRUE(settle([&] { return probe.hasState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(300); // time for a late activation or move to show up
    EXPECT_EQ(probe.activeWindow(), xid(other.get()));
    EXPECT_EQ(probe.geometry(id), before);
    EXPECT_GT(probe.stacking().indexOf(id), probe.stacking().indexOf(xid(other.get())));
    EXPECT_TRUE(target->isVisible());
    EXPECT_EQ(xid(target.get()), id);
    EXPECT_EQ(counter.hides, 0);
    EXPECT_TRUE(target->windowFlags() & Qt::WindowStaysOnTopHint);

    SetTopMost(target.get(), false);

    EXPECT_TRUE(settle([&] { return !probe.hasState(id, "_NET_WM_STATE_ABOVE"); }));
    EXPECT_EQ(probe.geometry(id), before);
    EXPECT_EQ(probe.activeWindow(), xid(other.get()));
    EXPECT_FALSE(target->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(counter.hides, 0);
}

// Every way the program shows a dialog keeps it off the taskbar: over its owner (the set-time
// dialog), and without an owner through SetTopMost, which changes the flag and maps it, or
// maps the one made ahead with the flag already set (the time-up window).
TEST_F(X11Services, KeepOffTaskbarHoldsForOwnedAndTopMostDialogs)
{
    auto owner = window(QStringLiteral("owner"), QRect(50, 50, 400, 300));
    QDialog owned(owner.get(), Qt::Tool);
    QDialog topMost(nullptr, Qt::Tool);
    QDialog readied(nullptr, Qt::Tool);
    for (QDialog *dialog : {&owned, &topMost, &readied}) {
        dialog->setGeometry(QRect(120, 100, 200, 80));
        KeepOffTaskbar(dialog);
    }
    // Made ahead of its show as the time-up window is: stays-on-top from the start.
    readied.setWindowFlag(Qt::WindowStaysOnTopHint);
    const xcb_window_t made = xid(&readied);
    owned.show();
    SetTopMost(&topMost, true);
    SetTopMost(&readied, true);

    for (QDialog *dialog : {&owned, &topMost, &readied}) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog, kManageMs));
        const xcb_window_t id = xid(dialog);
        EXPECT_TRUE(settle([&] { return probe.stacking().contains(id); }, kManageMs));
        EXPECT_TRUE(settle([&] { return probe.hasState(id, "_NET_WM_STATE_SKIP_TASKBAR"); }));
    }
    EXPECT_TRUE(probe.hasState(xid(&topMost), "_NET_WM_STATE_ABOVE"));
    EXPECT_TRUE(probe.hasState(made, "_NET_WM_STATE_ABOVE"));
    EXPECT_EQ(xid(&readied), made) << "the native window made ahead is the one shown";
    EXPECT_FALSE(probe.hasState(xid(owner.get()), "_NET_WM_STATE_SKIP_TASKBAR"));
}

TEST_F(X11Services, TopMostShowsHiddenWindowAboveWhereItWasPutWithoutFocus)
{
    auto other = window(QStringLiteral("other"), QRect(50, 50, 400, 300));
    activate(other.get());
    auto target = window(QStringLiteral("target"), QRect(260, 240, 180, 90), false);
    const QRect inside = target->geometry();

    SetTopMost(target.get(), true);

    EXPECT_TRUE(target->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(target.get(), kManageMs));
    const xcb_window_t id = xid(target.get());
    EXPECT_TRUE(settle([&] { return probe.hasState(id, "_NET_WM_STATE_ABOVE"); }));
    QTest::qWait(300);
    EXPECT_EQ(probe.activeWindow(), xid(other.get()));
    // setGeometry placed the inside of the window; the frame goes around it.
    EXPECT_EQ(target->geometry(), inside);
    EXPECT_EQ(probe.geometry(id), inside);
    EXPECT_GT(probe.stacking().indexOf(id), probe.stacking().indexOf(xid(other.get())));
}

// The main window flashes while minimised; in both cases the first call asks for attention and
// the later ones leave the X server alone until the window is restored or activated.
class FlashX11 : public X11Services, public ::testing::WithParamInterface<bool>
{};

TEST_P(FlashX11, AsksForAttentionOnceAndHoldsIt)
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
    const auto attention = [&](bool on) {
        return settle([&] {
            return probe.isUrgent(id) == on &&
                   probe.hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION") == on;
        });
    };
    ASSERT_TRUE(attention(false));

    EXPECT_EQ(FlashWindow(target.get(), true), 0);
    ASSERT_TRUE(attention(true));
    probe.watch(id, "WM_HINTS");
    probe.watch(id, "_NET_WM_STATE");
    // The window manager may still be answering the first call (openbox writes the state of a
    // minimised window once more); the count starts once it has been quiet for a while.
    int before = -1;
    for (int round = 0; round < 10 && before != probe.changes(); ++round) {
        before = probe.changes();
        QTest::qWait(300);
    }
    for (int call = 1; call < 4; ++call)
        EXPECT_EQ(FlashWindow(target.get(), true), 1) << "call " << call;
    QTest::qWait(300); // time for a late change by the window manager to show up
    EXPECT_EQ(probe.changes(), before);
    EXPECT_TRUE(attention(true));
    EXPECT_EQ(probe.activeWindow(), xid(other.get()));

    if (minimised) {
        // Restored, the window no longer asks.
        target->showNormal();
        EXPECT_TRUE(attention(false));
        EXPECT_EQ(FlashWindow(target.get(), true), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Shown, FlashX11, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Minimised" : "Normal"; });

TEST_F(X11Services, ActivatingFlashedWindowClearsAttention)
{
    auto target = window(QStringLiteral("target"), QRect(100, 100, 200, 120));
    auto other = window(QStringLiteral("other"), QRect(400, 100, 200, 120));
    activate(other.get());
    const xcb_window_t id = xid(target.get());
    FlashWindow(target.get(), true);
    ASSERT_TRUE(settle([&] { return probe.isUrgent(id); }));

    activate(target.get());

    EXPECT_TRUE(settle([&] {
        return !probe.isUrgent(id) && !probe.hasState(id, "_NET_WM_STATE_DEMANDS_ATTENTION");
    }));
    // The next flash asks anew.
    EXPECT_EQ(FlashWindow(target.get(), true), 0);
}

} // namespace
