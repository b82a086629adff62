#pragma once

#include <QString>

// The program's first argument after its own name, trimmed; empty when there is none.
QString firstCommandLineArgument();
