#include "testing.h"
#include "editor/pagehistory.h"

class TestPageHistory : public QObject
{
    Q_OBJECT

private slots:
    void steps_data()
    {
        // Steps: "+A" visits A, "-A" forgets A, "<" goes back, ">" goes forward. The history
        // is read from the current entry backwards and forwards: "A [D]" has D current.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("expected");
        QTest::newRow("A, B, E, back twice") << "+A +B +E < <" << "[A] B E";
        QTest::newRow("then visiting D drops B and E") << "+A +B +E < < +D" << "A [D]";
        QTest::newRow("back and forward stop at the ends") << "+A +B > > < < <" << "[A] B";
        QTest::newRow("forgetting B of A, B, A collapses to A") << "+A +B +A -B" << "[A]";
        QTest::newRow("forgetting the current page") << "+A +B +C -C" << "A [B]";
        QTest::newRow("forgetting a page ahead") << "+A +B +C < < -C" << "[A] B";
        QTest::newRow("forgetting an earlier page") << "+A +B +A +C -B" << "A [C]";
        QTest::newRow("forgetting the current first entry") << "+A +B < -A" << "[] B";
        QTest::newRow("visit after that") << "+A +B < -A +C" << "[C]";
    }

    void steps()
    {
        QFETCH(QString, steps);
        QFETCH(QString, expected);
        PageHistory history;
        for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            if (step == QLatin1String("<"))
                history.back();
            else if (step == QLatin1String(">"))
                history.forward();
            else if (step.startsWith(QLatin1Char('+')))
                history.push(step.mid(1));
            else
                history.remove(step.mid(1));
        }

        const QString none = QStringLiteral("-1");
        const QString current = history.currentId() == none ? QString() : history.currentId();
        QStringList entries {QStringLiteral("[%1]").arg(current)};
        for (PageHistory walk = history; walk.previousId() != none; walk.back())
            entries.prepend(walk.previousId());
        for (PageHistory walk = history; walk.nextId() != none; walk.forward())
            entries.append(walk.nextId());
        const QString result = entries.join(QLatin1Char(' '));
        QCOMPARE(result == QLatin1String("[]") ? QString() : result, expected);
        QCOMPARE(history.canGoBack(), history.previousId() != none);
        QCOMPARE(history.canGoForward(), history.nextId() != none);
    }
};

QTEST_GUILESS_MAIN(TestPageHistory)
#include "tst_pagehistory.moc"
