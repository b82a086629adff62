#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>

// Runs handler on the next visible modal dialog of that class, as a user answering it would.
inline void answerDialog(std::function<void(QWidget *)> handler, const char *className)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, handler, className] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible() || !dialog->inherits(className))
            return;
        timer->stop();
        timer->deleteLater();
        handler(dialog);
    });
    timer->start();
}

// Closes the next message box and records its title and text.
inline void answerBox(QString *title, QString *text)
{
    answerDialog(
        [=](QWidget *dialog) {
            auto *box = static_cast<QMessageBox *>(dialog);
            *title = box->windowTitle();
            *text = box->text();
            box->done(0);
        },
        "QMessageBox");
}

// Chooses path in the next file dialog, or cancels it when path is empty.
inline void answerFile(const QString &path)
{
    answerDialog(
        [path](QWidget *dialog) {
            auto *files = static_cast<QFileDialog *>(dialog);
            if (path.isEmpty()) {
                files->reject();
                return;
            }
            // done() rather than accept(): the dialog would refuse a missing file itself.
            files->selectFile(path);
            QMetaObject::invokeMethod(files, "done", Q_ARG(int, QDialog::Accepted));
        },
        "QFileDialog");
}
