#include "app/createpassworddialog.h"
#include "app/enterpassworddialog.h"
#include "model/passworddescriptor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>


// Cost 4: the dialog checks at whatever cost the stored setting names.
static const QString salt = QStringLiteral("$2a$04$abcdefghijklmnopqrstuu");

static QPushButton *okButton(QDialog *dialog)
{
    return dialog->findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok);
}

// Runs the dialog modally as a user would: for each attempt, types its texts into the edits
// named in edits and presses OK, noting the error line; cancels with Escape if still open.
static bool runDialog(QDialog *dialog, const QStringList &edits, const QList<QStringList> &attempts,
    QStringList *errors)
{
    QTimer::singleShot(0, dialog, [=] {
        QCOMPARE(QApplication::activeModalWidget(), dialog);
        for (const QStringList &texts : attempts) {
            for (int i = 0; i < edits.size(); ++i) {
                auto *edit = dialog->findChild<QLineEdit *>(edits.at(i));
                edit->clear();
                QTest::keyClicks(edit, texts.at(i));
            }
            QTest::mouseClick(okButton(dialog), Qt::LeftButton);
            *errors << dialog->findChild<QLabel *>("errorLabel")->text();
            if (!dialog->isVisible())
                return;
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
        QTest::newRow("confirmation empty") << QStringList {"secret", "", ""} << enter << "";
        // Accepted, a blank password could never be entered again to unlock.
        QTest::newRow("spaces only") << QStringList {"   ", "   ", ""} << enter << "";
        QTest::newRow("trailing space differs")
            << QStringList {"secret ", "secret", ""}
            << "Password confirmation does not match the password."
            << "";
        QTest::newRow("matching") << QStringList {" secret ", " secret ", "  my dog  "} << ""
                                  << "my dog";
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
        const QString invalid = QStringLiteral("Invalid password. Please try again.");
        QTest::newRow("right") << QStringList {" open sesame"} << QStringList {""};
        QTest::newRow("empty") << QStringList {""} << QStringList {"Please enter the password."};
        QTest::newRow("wrong, then right")
            << QStringList {"sesame", " open sesame"} << QStringList {invalid, ""};
    }

    void enter()
    {
        QFETCH(QStringList, attempts);
        QFETCH(QStringList, errors);
        const QString hash = PasswordDescriptor::hashPassword(QStringLiteral(" open sesame"), salt);
        EnterPasswordDialog dialog(hash, salt, QString(), true, false);
        QList<QStringList> typed;
        for (const QString &attempt : attempts)
            typed << QStringList {attempt};
        QStringList shown;
        const bool accepted = runDialog(&dialog, {"passwordEdit"}, typed, &shown);
        QCOMPARE(shown, errors);
        QCOMPARE(accepted, errors.last().isEmpty());
    }

    void hintLine_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("surrounding spaces") << "  my dog  "
                                            << "<b>Password Hint: </b>  my dog  ";
        // Unescaped, the hint was rendered as markup and "<cat>" disappeared.
        QTest::newRow("markup") << "<cat> & co"
                                << "<b>Password Hint: </b>&lt;cat&gt; &amp; co";
    }

    void hintLine()
    {
        QFETCH(QString, hint);
        QFETCH(QString, shown);
        EnterPasswordDialog dialog("", "", hint, false, false);
        auto *label = dialog.findChild<QLabel *>("hintLabel");
        QCOMPARE(label ? label->text() : QString(), shown);
        QCOMPARE(label ? label->toolTip() : QString(), shown.isEmpty() ? QString() : hint);
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestPasswordDialogs)
#include "tst_passworddialogs.moc"
