#include "editor/pagehistory.h"

#include <QtTest>

namespace {

// Runs steps such as "+A +B < -B >": push, back, remove, forward.
void run(PageHistory &history, const QString &steps)
{
    const QStringList tokens = steps.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        if (token == QLatin1String("<"))
            history.back();
        else if (token == QLatin1String(">"))
            history.forward();
        else if (token.startsWith(QLatin1Char('+')))
            history.push(token.mid(1));
        else if (token.startsWith(QLatin1Char('-')))
            history.remove(token.mid(1));
    }
}

// The whole history, oldest first, with the current entry starred: "A *D".
QString describe(PageHistory history)
{
    const bool hasCurrent = history.currentId() != QLatin1String("-1");
    int position = 0;
    for (; history.canGoBack(); ++position)
        history.back();
    QStringList entries;
    if (history.currentId() != QLatin1String("-1"))
        entries << history.currentId();
    while (history.canGoForward()) {
        history.forward();
        entries << history.currentId();
    }
    if (hasCurrent)
        entries[position].prepend(QLatin1Char('*'));
    return entries.join(QLatin1Char(' '));
}

} // namespace

class TestPageHistory : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("next");

        QTest::newRow("empty history") << ""
                                       << ""
                                       << "-1"
                                       << "-1"
                                       << "-1";
        QTest::newRow("A, B, E, back twice") << "+A +B +E < <"
                                             << "*A B E"
                                             << "-1"
                                             << "A"
                                             << "B";
        QTest::newRow("then visiting D drops B and E") << "+A +B +E < < +D"
                                                       << "A *D"
                                                       << "A"
                                                       << "D"
                                                       << "-1";
        QTest::newRow("showing the current page again") << "+A +B +B"
                                                        << "A *B"
                                                        << "A"
                                                        << "B"
                                                        << "-1";
        QTest::newRow("back and forward stop at the ends") << "+A +B > > < < <"
                                                           << "*A B"
                                                           << "-1"
                                                           << "A"
                                                           << "B";
        QTest::newRow("deleting B from A, B, A collapses to A") << "+A +B +A -B"
                                                                << "*A"
                                                                << "-1"
                                                                << "A"
                                                                << "-1";
        QTest::newRow("deleting the current page") << "+A +B +C -C"
                                                   << "A *B"
                                                   << "A"
                                                   << "B"
                                                   << "-1";
        QTest::newRow("deleting a page ahead") << "+A +B +C < < -C"
                                               << "*A B"
                                               << "-1"
                                               << "A"
                                               << "B";
        QTest::newRow("deleting an earlier page keeps the position") << "+A +B +A +C -B"
                                                                     << "A *C"
                                                                     << "A"
                                                                     << "C"
                                                                     << "-1";
        QTest::newRow("deleting the only entry") << "+A -A"
                                                 << ""
                                                 << "-1"
                                                 << "-1"
                                                 << "-1";
        QTest::newRow("deleting the first entry while current") << "+A +B < -A"
                                                                << "B"
                                                                << "-1"
                                                                << "-1"
                                                                << "B";
        QTest::newRow("visit after the current entry was deleted") << "+A +B < -A +C"
                                                                   << "*C"
                                                                   << "-1"
                                                                   << "C"
                                                                   << "-1";
    }

    void steps()
    {
        QFETCH(QString, steps);
        PageHistory history;
        run(history, steps);
        QTEST(describe(history), "expected");
        QTEST(history.previousId(), "previous");
        QTEST(history.currentId(), "current");
        QTEST(history.nextId(), "next");
        QCOMPARE(history.canGoBack(), history.previousId() != QLatin1String("-1"));
        QCOMPARE(history.canGoForward(), history.nextId() != QLatin1String("-1"));
    }
};

QTEST_GUILESS_MAIN(TestPageHistory)
#include "tst_pagehistory.moc"
