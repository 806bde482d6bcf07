// A bare Qt window of the clock window's size, with what any Qt clock would do: a label showing
// HH:mm:ss from a free-running 250 ms QTimer, the time in the title while minimised, and with
// --alarm HH:mm:ss a "Time UP" window and a sound (paplay) at the first tick at or after it.
#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTime>
#include <QTimer>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTime alarm;
    QString sound;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--alarm")
            alarm = QTime::fromString(args[i + 1], "HH:mm:ss");
        else if (args[i] == "--sound")
            sound = args[i + 1];
    }

    QWidget window;
    window.setWindowTitle(QStringLiteral("ｱﾗｰﾑ時計"));
    window.setFixedSize(236, 119);
    auto *label = new QLabel(&window);
    label->setGeometry(12, 8, 97, 23);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::yellow);
    label->setPalette(palette);

    QWidget *timeUp = nullptr;
    bool rang = false;
    QTimer timer;
    timer.setInterval(250);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const QTime now = QTime::currentTime();
        const QString text = now.toString("HH:mm:ss");
        if (window.isMinimized())
            window.setWindowTitle(text);
        else if (label->text() != text)
            label->setText(text);
        if (alarm.isValid() && !rang && now >= alarm) {
            rang = true;
            timeUp = new QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint);
            timeUp->setAttribute(Qt::WA_DeleteOnClose);
            timeUp->setWindowTitle("Time UP");
            timeUp->setFixedSize(199, 78);
            (new QLabel(QStringLiteral("予定時間です。"), timeUp))->setGeometry(44, 20, 145, 16);
            timeUp->show();
            if (!sound.isEmpty())
                QProcess::startDetached("paplay", {sound});
        }
    });
    timer.start();
    window.show();
    return app.exec();
}
