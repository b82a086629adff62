#pragma once

#include <QString>
#include <QStringList>

// What the benchmarks read about processes from /proc: memory, age, and the web engine's
// processes below this one.

// Resident and proportional set sizes in kB of one process.
struct Memory
{
    qint64 rss = 0;
    qint64 pss = 0;
};

Memory memoryOf(const QString &pid);
// Milliseconds since this process started, to within the kernel's clock tick.
qint64 msSinceProcessStart();
// The kind of an engine process, from its --type switch. A zygote's forks keep its command line:
// the sandboxed zygote's are the renderers.
QString processType(const QString &pid, const QString &parent);
// The processes started from this one, and theirs, each as "pid:parent": the engine's zygote
// forks the renderers.
QStringList descendants(const QString &pid);
// This process and every process below it, added up.
Memory memoryWithDescendants();
