#pragma once

#include <QString>

// The program's first argument after its own name, trimmed; empty when there is none.
QString firstCommandLineArgument();

// The resource ":/<name>" read whole as Latin-1 text up to its first zero byte;
// empty when it cannot be read.
QString readResourceText(const QString &name);
