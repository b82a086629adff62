#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QTextStream;
class WikiDocument;

// The program's command line. Without a subcommand it names the wiki the window opens; the
// subcommands export, search and check work on a wiki file without the window, without a
// display and beside a running window, since they take no lock and write no settings.
//
//     CommandLine commandLine(CommandLine::argumentsOf(argc, argv));
//     if (!commandLine.opensWindow())
//         return commandLine.run(argc, argv);
class CommandLine final
{
public:
    // The exit codes of everything that does not open the window.
    enum ExitCode {
        Success = 0,
        // search found nothing; check found the file not sound; export could not write a page.
        NotFound = 1,
        UsageError = 2,
        // The file could not be opened, or holds no wiki this command reads.
        Unreadable = 3,
        // The wiki is protected and no password, or a wrong one, was given.
        PasswordRefused = 4,
    };

    explicit CommandLine(const QStringList &arguments);
    ~CommandLine();

    static QStringList argumentsOf(int argc, char **argv);

    // True when the arguments ask for the window, with at most the wiki to open.
    bool opensWindow() const { return m_mode == Mode::Window; }
    // The wiki the window is to open; empty when none was named.
    QString wikiPath() const { return m_wikiPath; }

    // Prints help, the version or a usage error, or runs the subcommand under an application
    // of its own on the off-screen platform. Returns the process's exit code.
    int run(int &argc, char **argv);

    // The text a protected wiki's password is read from, for tests: none but the first line
    // counts, without its line break.
    static QString passwordFromFileText(const QByteArray &text);

private:
    enum class Mode { Window, Help, Version, Usage, Export, Search, Check };

    void parse(const QStringList &arguments);
    void usageError(const QString &message);
    int runSubcommand();
    int runExport();
    int runSearch();
    int runCheck();
    std::unique_ptr<WikiDocument> openWiki(int *exitCode);
    bool unlock(WikiDocument *wiki, int *exitCode);
    QString askPassword(const QString &hint);

    Mode m_mode = Mode::Window;
    QString m_wikiPath;
    QString m_target; // export: the folder; search: the text
    bool m_asHtml = true;
    QString m_passwordFile;
    QString m_usageMessage;
    QString m_usage;
    QTextStream *m_out = nullptr;
    QTextStream *m_err = nullptr;
};
