#pragma once

#include <QString>

// The resource ":/<name>" read whole as Latin-1 text up to its first zero byte;
// empty when it cannot be read.
QString readResourceText(const QString &name);
