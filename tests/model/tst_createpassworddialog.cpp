#include "model/createpassworddialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestCreatePasswordDialog : public QObject
{
    Q_OBJECT

private slots:
    void entries_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("acceptedHint");

        const QString enter = QStringLiteral("Please enter and confirm a password.");
        const QString mismatch
            = QStringLiteral("Password confirmation does not match the password.");
        QTest::newRow("both empty") << ""
                                    << ""
                                    << "" << enter << "";
        QTest::newRow("confirmation empty") << "secret"
                                            << ""
                                            << "" << enter << "";
        QTest::newRow("password empty") << ""
                                        << "secret"
                                        << "" << enter << "";
        // Accepted, such a password could never be entered again: blank ones are refused.
        QTest::newRow("spaces only") << "   "
                                     << "   "
                                     << "" << enter << "";
        QTest::newRow("trailing space differs") << "secret "
                                                << "secret"
                                                << "" << mismatch << "";
        QTest::newRow("matching") << " secret "
                                  << " secret "
                                  << "  my dog  "
                                  << ""
                                  << "my dog";
        QTest::newRow("hint of spaces") << "secret"
                                        << "secret"
                                        << "   "
                                        << ""
                                        << "";
    }

    void entries()
    {
        QFETCH(QString, password);
        QFETCH(QString, confirmation);
        QFETCH(QString, hint);
        QFETCH(QString, error);
        QFETCH(QString, acceptedHint);

        CreatePasswordDialog dialog(false);
        QString shownError;
        QTimer::singleShot(0, this, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            QCOMPARE(modal, &dialog);
            QTest::keyClicks(modal->findChild<QLineEdit *>("passwordEdit"), password);
            QTest::keyClicks(modal->findChild<QLineEdit *>("confirmEdit"), confirmation);
            QTest::keyClicks(modal->findChild<QLineEdit *>("hintEdit"), hint);
            auto *buttons = modal->findChild<QDialogButtonBox *>("buttonBox");
            QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
            shownError = modal->findChild<QLabel *>("errorLabel")->text();
            if (modal->isVisible())
                QTest::mouseClick(buttons->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        });
        const bool accepted = dialog.exec() == QDialog::Accepted;

        QCOMPARE(shownError, error);
        QCOMPARE(accepted, error.isEmpty());
        QCOMPARE(dialog.password(), accepted ? password : QString());
        QCOMPARE(dialog.hint(), acceptedHint);
    }

    void texts_data()
    {
        QTest::addColumn<bool>("forWiki");
        QTest::addColumn<QString>("message");
        QTest::newRow("wiki") << true << "Lock this wiki with a password.";
        QTest::newRow("page") << false << "Lock this page with a password.";
    }

    void texts()
    {
        QFETCH(bool, forWiki);
        QFETCH(QString, message);
        CreatePasswordDialog dialog(forWiki);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Password Protection"));
        QCOMPARE(dialog.findChild<QLabel *>("messageLabel")->text(), message);
        QCOMPARE(
            dialog.findChild<QDialogButtonBox *>("buttonBox")->button(QDialogButtonBox::Ok)->text(),
            QStringLiteral("  Set Password  "));
    }

    void cleanup()
    {
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
    }
};

QTEST_MAIN(TestCreatePasswordDialog)
#include "tst_createpassworddialog.moc"
