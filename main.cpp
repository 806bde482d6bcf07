#include "forms/alarmwindow.h"
#include "forms/formkit.h"
#include "platform/alarmsound.h"
#include "platform/clock.h"
#include "platform/desktopwindows.h"
#include "platform/startup.h"

#include <QApplication>
#include <QDir>

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
    // No display name: Qt would append it to the title, and the countdown is the whole title.
    QApplication::setApplicationName(QStringLiteral("alarm-clock"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.alarmclock.AlarmClock"));
    QApplication::setWindowIcon(programIcon());

    SystemClock clock;
    EwmhWindows windows;
    CanberraSound sound;
    // The alarm's sound lies next to the program.
    AlarmWindow window(
        clock, windows, sound,
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("MSREMIND.WAV")));
    window.show();
    return QApplication::exec();
}
