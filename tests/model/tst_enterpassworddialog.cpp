#include "model/enterpassworddialog.h"
#include "model/passworddescriptor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// Cost 4: the dialog checks whatever cost the stored setting names.
static const QString salt = QStringLiteral("$2a$04$abcdefghijklmnopqrstuu");

class TestEnterPasswordDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        hash = PasswordDescriptor::hashPassword(QStringLiteral(" open sesame"), salt);
        QCOMPARE(hash.size(), 60);
    }

    void attempts_data()
    {
        QTest::addColumn<QStringList>("attempts");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<bool>("accepted");

        const QString invalid = QStringLiteral("Invalid password. Please try again.");
        QTest::newRow("right") << QStringList {" open sesame"} << QStringList {""} << true;
        QTest::newRow("empty") << QStringList {""} << QStringList {"Please enter the password."}
                               << false;
        QTest::newRow("leading space left out")
            << QStringList {"open sesame"} << QStringList {invalid} << false;
        QTest::newRow("wrong, then right")
            << QStringList {"sesame", " open sesame"} << QStringList {invalid, ""} << true;
        QTest::newRow("wrong twice")
            << QStringList {"sesame", "open"} << QStringList {invalid, invalid} << false;
    }

    void attempts()
    {
        QFETCH(QStringList, attempts);
        QFETCH(QStringList, errors);
        QFETCH(bool, accepted);

        EnterPasswordDialog dialog(hash, salt, QString(), true, false);
        QStringList shownErrors;
        QTimer::singleShot(0, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            QCOMPARE(modal, &dialog);
            auto *edit = modal->findChild<QLineEdit *>("passwordEdit");
            auto *buttons = modal->findChild<QDialogButtonBox *>("buttonBox");
            auto *error = modal->findChild<QLabel *>("errorLabel");
            for (const QString &attempt : attempts) {
                edit->clear();
                QTest::keyClicks(edit, attempt);
                QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
                shownErrors << error->text();
                // A wrong password leaves the dialog open with the text still in the edit.
                if (modal->isVisible())
                    QCOMPARE(edit->text(), attempt);
            }
            if (modal->isVisible())
                QTest::keyClick(modal, Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec() == QDialog::Accepted, accepted);
        QCOMPARE(shownErrors, errors);
    }

    void texts_data()
    {
        QTest::addColumn<bool>("forWiki");
        QTest::addColumn<bool>("removal");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("okText");
        QTest::newRow("unlock wiki") << true << false << "This wiki is protected with a password."
                                     << "OK";
        QTest::newRow("unlock page") << false << false << "This page is protected with a password."
                                     << "OK";
        QTest::newRow("remove from wiki") << true << true << "Remove the password from this wiki?"
                                          << "  Remove Password  ";
        QTest::newRow("remove from page") << false << true << "Remove the password from this page?"
                                          << "  Remove Password  ";
    }

    void texts()
    {
        QFETCH(bool, forWiki);
        QFETCH(bool, removal);
        QFETCH(QString, message);
        QFETCH(QString, okText);
        EnterPasswordDialog dialog(hash, salt, QString(), forWiki, removal);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Password Protection"));
        QCOMPARE(dialog.findChild<QLabel *>("messageLabel")->text(), message);
        QCOMPARE(
            dialog.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->text(),
            okText);
    }

    void hintLine_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("spaces only") << "   "
                                     << "";
        QTest::newRow("surrounding spaces") << "  my dog  "
                                            << "<b>Password Hint: </b>  my dog  ";
        // Unescaped, the hint's own markup was rendered and "<cat>" disappeared.
        QTest::newRow("markup") << "<cat> & co"
                                << "<b>Password Hint: </b>&lt;cat&gt; &amp; co";
    }

    void hintLine()
    {
        QFETCH(QString, hint);
        QFETCH(QString, shown);
        EnterPasswordDialog dialog(hash, salt, hint, false, false);
        auto *label = dialog.findChild<QLabel *>("hintLabel");
        QCOMPARE(label != nullptr, !shown.isEmpty());
        if (label) {
            QCOMPARE(label->text(), shown);
            QCOMPARE(label->toolTip(), hint);
        }
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }

private:
    QString hash;
};

QTEST_MAIN(TestEnterPasswordDialog)
#include "tst_enterpassworddialog.moc"
