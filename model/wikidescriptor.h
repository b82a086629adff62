#pragma once

#include <QMetaType>
#include <QtGlobal>

// A record of two integers registered as a metatype at start-up; nothing else reads it.
struct WikiDescriptor
{
    qint32 first = 0;
    qint32 second = 0;
};

Q_DECLARE_METATYPE(WikiDescriptor)
Q_DECLARE_METATYPE(WikiDescriptor *)
