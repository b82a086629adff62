#include "app/createpassworddialog.h"
#include "app/enterpassworddialog.h"
#include "model/passworddescriptor.h"
#include "testing.h"

#include <QDialogButtonBox>

// Cost 4: the dialog checks at whatever cost the stored setting names.
static const QString salt = QStringLiteral("$2a$04$abcdefghijklmnopqrstuu");

static QPushButton *okButton(QDialog *dialog)
{
    return dialog->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok);
}

// Runs the dialog modally as a user would: for each attempt, types its texts into the edits
// named in edits and presses OK, noting the error line; cancels with Escape if still open.
// A refused attempt must show its whole message; a wrong password must leave the field empty
// and focused: the wrong text used to stay, and the right one typed after it failed.
static bool runDialog(QDialog *dialog, const QStringList &edits, const QList<QStringList> &attempts,
    QStringList *errors)
{
    QTimer::singleShot(0, dialog, [=] {
        // A failed check returns early: the dialog is closed all the same.
        const auto close = qScopeGuard([dialog] {
            if (dialog->isVisible())
                dialog->reject();
        });
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        for (const QStringList &texts : attempts) {
            for (int i = 0; i < edits.size(); ++i) {
                auto *edit = dialog->findChild<QLineEdit *>(edits.at(i));
                edit->clear();
                // QTest types ASCII only, and a NUL can only be pasted.
                const QString &text = texts.at(i);
                if (std::any_of(text.begin(), text.end(),
                        [](QChar c) { return c.unicode() == 0 || c.unicode() > 0x7e; }))
                    edit->insert(texts.at(i));
                else
                    QTest::keyClicks(edit, texts.at(i));
            }
            QTest::mouseClick(okButton(dialog), Qt::LeftButton);
            auto *error = dialog->findChild<QLabel *>("errorLabel");
            *errors << error->text();
            if (!dialog->isVisible())
                return;
            QTRY_VERIFY(Testing::labelFits(error));
            auto *password = dialog->findChild<QLineEdit *>(edits.first());
            if (edits.size() == 1) {
                QVERIFY(password->text().isEmpty());
                QCOMPARE(dialog->focusWidget(), password);
            }
        }
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    return dialog->exec() == QDialog::Accepted;
}

class TestPasswordDialogs : public QObject
{
    Q_OBJECT

private slots:
    void create_data()
    {
        QTest::addColumn<QStringList>("typed"); // password, confirmation, hint
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("hint");
        const QString enter = QStringLiteral("Please enter and confirm a password.");
        // Accepted, a blank password could never be entered again to unlock.
        QTest::newRow("spaces only") << QStringList {"   ", "   ", ""} << enter << "";
        // The message used to be cut off at both ends.
        QTest::newRow("trailing space differs")
            << QStringList {"secret ", "secret", ""}
            << "Password confirmation does not match the password." << QString();
        QTest::newRow("matching")
            << QStringList {" secret ", " secret ", "  my dog  "} << QString() << "my dog";
        // bcrypt reads 72 bytes and stops at a NUL: another ending would open the lock too.
        const QString tooLong = QStringLiteral("The password is too long: only its first 72 "
                                               "bytes (UTF-8) would count. Please choose a "
                                               "shorter one.");
        const QString x72 = QString(72, QLatin1Char('x'));
        QTest::newRow("73 bytes") << QStringList {x72 + "y", x72 + "y", ""} << tooLong << "";
        const QString wide = QString(36, QChar(0xe9)) + "y"; // 37 characters, 73 bytes
        QTest::newRow("73 bytes in 37 characters") << QStringList {wide, wide, ""} << tooLong << "";
        const QString withNul = QStringLiteral("abc") + QChar(0) + QStringLiteral("def");
        QTest::newRow("NUL") << QStringList {withNul, withNul, ""}
                             << "The password cannot contain a NUL character." << QString();
    }

    void create()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, error);
        QFETCH(QString, hint);
        CreatePasswordDialog dialog(false);
        QStringList errors;
        const bool accepted
            = runDialog(&dialog, {"passwordEdit", "confirmEdit", "hintEdit"}, {typed}, &errors);
        QCOMPARE(errors, QStringList {error});
        QCOMPARE(accepted, error.isEmpty());
        QCOMPARE(dialog.password(), accepted ? typed.at(0) : QString());
        QCOMPARE(dialog.hint(), hint);
    }

    void enter_data()
    {
        QTest::addColumn<QStringList>("attempts");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QString>("stored"); // the password the hash was made from
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("hintShown");
        const QString invalid = QStringLiteral("Invalid password. Please try again.");
        const QString sesame = QStringLiteral(" open sesame");
        QTest::newRow("right, hint of spaces only")
            << QStringList {" open sesame"} << QStringList {""} << sesame << "   " << QString();
        QTest::newRow("leading space left out")
            << QStringList {"open sesame"} << QStringList {invalid} << sesame << "" << QString();
        // Unescaped, the hint was rendered as markup and "<cat>" disappeared.
        QTest::newRow("wrong, then right, hint with markup")
            << QStringList {"sesame", " open sesame"} << QStringList {invalid, ""} << sesame
            << "<cat> & co" << "<b>Password Hint: </b>&lt;cat&gt; &amp; co";
        // Made before such passwords were refused; it opens as it always did.
        const QString longer = QString(80, QLatin1Char('x'));
        QTest::newRow("stored longer than 72 bytes")
            << QStringList {longer} << QStringList {""} << longer << "" << QString();
    }

    void enter()
    {
        QFETCH(QStringList, attempts);
        QFETCH(QStringList, errors);
        QFETCH(QString, stored);
        QFETCH(QString, hint);
        const QString hash = PasswordDescriptor::hashPassword(stored, salt);
        EnterPasswordDialog dialog(hash, salt, hint, true, false);
        auto *label = dialog.findChild<QLabel *>("hintLabel");
        QTEST(label ? label->text() : QString(), "hintShown");
        QCOMPARE(label ? label->toolTip() : hint, hint);
        QList<QStringList> typed;
        for (const QString &attempt : attempts)
            typed << QStringList {attempt};
        QStringList shown;
        const bool accepted = runDialog(&dialog, {"passwordEdit"}, typed, &shown);
        QCOMPARE(shown, errors);
        QCOMPARE(accepted, errors.last().isEmpty());
    }

    // The stored form: bcrypt as other writers of the format make it.
    void newPasswordRoundTrip()
    {
        const QString fresh = PasswordDescriptor::generateSalt();
        QVERIFY(fresh.startsWith(QLatin1String("$2a$12$")));
        // Seeded from the clock, two salts made within one second came out the same.
        QVERIFY(fresh != PasswordDescriptor::generateSalt());
        const QString hash
            = PasswordDescriptor::hashPassword(QStringLiteral("correct horse"), fresh);
        QVERIFY(PasswordDescriptor::checkPassword(QStringLiteral("correct horse"), hash, fresh));
    }

    void check_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("hash");
        QTest::addColumn<QString>("salt");
        QTest::addColumn<bool>("matches");

        // A published vector (jBCrypt's test suite).
        const QString abc = "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i";
        QTest::newRow("right password") << "abc" << abc << abc.left(29) << true;
        QTest::newRow("wrong password") << "abd" << abc << abc.left(29) << false;
        QTest::newRow("empty salt") << "abc" << abc << "" << false;
        // libxcrypt's failure token for a bad setting used to equal a stored "*0".
        QTest::newRow("failure token") << QString("anything") << QString("*0") << "x" << false;
        // A two-letter setting selects DES, which reads eight characters only.
        QTest::newRow("DES setting")
            << QString("password and more") << QString("abJnggxhB/yWI") << "ab" << false;
    }

    void check()
    {
        QFETCH(QString, password);
        QFETCH(QString, hash);
        QFETCH(QString, salt);
        QFETCH(bool, matches);
        QCOMPARE(PasswordDescriptor::checkPassword(password, hash, salt), matches);
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

VELMORA_TEST_MAIN(TestPasswordDialogs)
#include "tst_passworddialogs.moc"
