#pragma once

#include <QString>
#include <QTime>

// The minimised window's title: the time left until the alarm, or how long it is overdue, then
// the note.
QString countdownCaption(QTime now, QTime alarm, const QString &note);
