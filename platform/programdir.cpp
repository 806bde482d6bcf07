#include "programdir.h"

#include <QCoreApplication>

QString programDirectory()
{
    return QCoreApplication::applicationDirPath();
}
