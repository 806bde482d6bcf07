#include "alarmform.h"
#include "clock.h"
#include "formkit.h"
#include "services.h"
#include "startup.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    choosePlatform();
    auto display = std::make_unique<DisplayProbe>();
    if (const QString problem = display->problem(); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", (QStringLiteral("ｱﾗｰﾑ時計: ") + problem).toUtf8().constData());
        return 2;
    }
    QApplication app(argc, argv);
    display.reset();
    // No display name: Qt would append it to every window title, and the minimised
    // countdown is the whole title.
    QApplication::setApplicationName(QStringLiteral("alarm-clock"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.alarmclock.AlarmClock"));
    QIcon icon = QIcon::fromTheme(QStringLiteral("io.github.alarmclock.AlarmClock"));
    if (icon.isNull())
        icon = programIcon({16, 32, 48, 64, 128, 256});
    QApplication::setWindowIcon(icon);
    // The main window decides when the program ends: a time-up window left open keeps it
    // running after the main window is closed.
    QApplication::setQuitOnLastWindowClosed(false);

    SystemClock clock;
    SystemServices services;
    AlarmForm form(clock, services);
    form.show();
    return QApplication::exec();
}
