#include "forms/alarmform.h"
#include "forms/formkit.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"
#include "platform/startup.h"

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

    SystemClock clock;
    EwmhWindows windows;
    CanberraSound sound;
    AlarmForm form(clock, windows, sound);
    form.show();
    return QApplication::exec();
}
