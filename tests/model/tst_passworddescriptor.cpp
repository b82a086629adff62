#include "model/passworddescriptor.h"

#include <QtTest>

// Cost 4 keeps the cases that do not test the program's own cost fast.
static const QString cheapSalt = QStringLiteral("$2a$04$abcdefghijklmnopqrstuu");

class TestPasswordDescriptor : public QObject
{
    Q_OBJECT

private slots:
    void newPasswordRoundTrip()
    {
        const QString salt = PasswordDescriptor::generateSalt();
        QCOMPARE(salt.size(), 29);
        QVERIFY(salt.startsWith(QLatin1String("$2a$12$")));
        const QString hash
            = PasswordDescriptor::hashPassword(QStringLiteral("correct horse"), salt);
        QCOMPARE(hash.size(), 60);
        QVERIFY(hash.startsWith(salt));
        QVERIFY(PasswordDescriptor::checkPassword(QStringLiteral("correct horse"), hash, salt));
        QVERIFY(!PasswordDescriptor::checkPassword(QStringLiteral("correct hors"), hash, salt));
    }

    void saltsDifferWithinOneSecond()
    {
        // Seeded from the clock, both salts came out the same.
        QVERIFY(PasswordDescriptor::generateSalt() != PasswordDescriptor::generateSalt());
    }

    void check_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("hash");
        QTest::addColumn<QString>("salt");
        QTest::addColumn<bool>("matches");

        // Published vectors (Openwall crypt_blowfish and jBCrypt test suites).
        const QList<QPair<QString, QString>> vectors = {
            {"U*U", "$2a$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW"},
            {"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789chars after "
             "72 are ignored",
                "$2a$05$abcdefghijklmnopqrstuu5s2v8.iXieOjg/.AySBTTZIIVFJeBui"},
            {"abc", "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i"},
        };
        for (const auto &vector : vectors)
            QTest::addRow("vector %s", qPrintable(vector.first))
                << vector.first << vector.second << vector.second.left(29) << true;
        const QString abc = vectors.at(2).second;
        QTest::newRow("wrong password") << "abd" << abc << abc.left(29) << false;

        const QString spaced
            = PasswordDescriptor::hashPassword(QStringLiteral(" pass "), cheapSalt);
        QTest::newRow("spaces typed") << " pass " << spaced << cheapSalt << true;
        QTest::newRow("spaces left out") << "pass" << spaced << cheapSalt << false;
        const QString blank = PasswordDescriptor::hashPassword(QStringLiteral("   "), cheapSalt);
        QTest::newRow("spaces only") << "   " << blank << cheapSalt << false;
        QTest::newRow("empty salt") << "abc" << abc << "" << false;
        QTest::newRow("empty hash") << "abc"
                                    << "" << abc.left(29) << false;
        // libxcrypt's failure token for a bad setting used to equal a stored "*0".
        QTest::newRow("failure token") << "anything"
                                       << "*0"
                                       << "x" << false;
        // A two-letter setting selects DES, which reads eight characters only.
        QTest::newRow("DES setting") << "password and more"
                                     << "abJnggxhB/yWI"
                                     << "ab" << false;
    }

    void check()
    {
        QFETCH(QString, password);
        QFETCH(QString, hash);
        QFETCH(QString, salt);
        QFETCH(bool, matches);
        QCOMPARE(PasswordDescriptor::checkPassword(password, hash, salt), matches);
    }

};

QTEST_GUILESS_MAIN(TestPasswordDescriptor)
#include "tst_passworddescriptor.moc"
