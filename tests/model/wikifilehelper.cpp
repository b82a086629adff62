// Saves wiki files in a process of its own, for the tests that kill a save halfway, limit the
// size of the files it may write or take away its rights:
//   wikifilehelper loop <path> <first> <second>   saves the wikis of the files second and first
//                                                 in turn to path through a WikiSaver's worker
//                                                 thread until it is killed
//   wikifilehelper write <path> <size> <seed> <file size limit, 0 for none> [as-nobody]
// "write" exits with 0 when writeFile() returned true, 1 when it returned false.
#include "model/wikifile.h"
#include "model/wikisaver.h"
#include "wikifiletestdata.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args.at(1) == QLatin1String("loop")) {
        QJsonObject roots[2];
        for (int i = 0; i < 2; ++i) {
            bool ok = false;
            roots[i] = jsonFromDocumentBytes(readWikiData(args.at(3 + i)), &ok);
            if (!ok)
                return 2;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        WikiSaver saver;
        for (int i = 1;; i = 1 - i) {
            saver.save(WikiSnapshot {args.at(2), roots[i]});
            saver.waitForSaves();
        }
    }
    if (args.size() >= 6 && args.at(1) == QLatin1String("write")) {
        const QByteArray bytes = randomBytes(args.at(3).toInt(), args.at(4).toUInt());
        if (const rlim_t limit = args.at(5).toULongLong()) {
            // Past the limit, write() then fails with EFBIG instead of killing the process.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit fileSize {limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
                return 2;
        }
        if (args.value(6) == QLatin1String("as-nobody")
            && (setgid(65534) != 0 || setuid(65534) != 0))
            return 2;
        return writeFile(args.at(2), bytes) ? 0 : 1;
    }
    return 2;
}
