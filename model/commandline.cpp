#include "model/commandline.h"

#include <QCoreApplication>
#include <QStringList>

QString firstCommandLineArgument()
{
    const QStringList arguments = QCoreApplication::arguments();
    return arguments.size() > 1 ? arguments.at(1).trimmed() : QString();
}
