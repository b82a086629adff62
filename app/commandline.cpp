#include "app/commandline.h"

#include "app/productinfo.h"
#include "editor/webenginearguments.h"
#include "model/exporter.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikifilecheck.h"
#include "search/searchresult.h"
#include "search/searchrunner.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

#include <clocale>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {

const QString exportCommand = QStringLiteral("export");
const QString searchCommand = QStringLiteral("search");
const QString checkCommand = QStringLiteral("check");

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLine", text);
}

QString shortUsage()
{
    return tr("Usage: velmora [WIKI]\n"
              "       velmora export --format html|text [--password-file FILE] WIKI FOLDER\n"
              "       velmora search [--password-file FILE] WIKI TEXT\n"
              "       velmora check WIKI\n"
              "Try 'velmora --help' for more.\n");
}

QString helpText()
{
    return tr(
        "Usage: velmora [WIKI]\n"
        "       velmora export --format html|text [--password-file FILE] WIKI FOLDER\n"
        "       velmora search [--password-file FILE] WIKI TEXT\n"
        "       velmora check WIKI\n"
        "\n"
        "Velmora is a personal wiki kept in one .velmora file. Without a subcommand it opens\n"
        "WIKI, or the wiki used last, in its window; while a window is open, WIKI is handed\n"
        "to it. The subcommands need no display and may run beside an open window.\n"
        "\n"
        "Subcommands:\n"
        "  export   Write every page of WIKI into FOLDER as HTML or plain-text files, the\n"
        "           way File > Export Wiki As does. FOLDER is made when it is missing;\n"
        "           files already in it are never replaced.\n"
        "  search   Print one line per hit, \"Page name: the line\", in sidebar order, with\n"
        "           the hits the window's search finds.\n"
        "  check    Read WIKI whole and tell whether it is sound: its digest, its size, the\n"
        "           document inside and every page and folder. Never writes.\n"
        "\n"
        "Options:\n"
        "  -h, --help             Show this help and leave.\n"
        "  -v, --version          Show the version and leave.\n"
        "  --format html|text     What export writes.\n"
        "  --password-file FILE   Read the password of a protected wiki from the first\n"
        "                         line of FILE instead of asking on the terminal.\n"
        "\n"
        "Pages protected by a password of their own stay locked: export writes a notice\n"
        "instead of their text, and search prints their hits without lines.\n"
        "\n"
        "Exit status: 0 done (search: something found; check: the file is sound);\n"
        "1 search found nothing, check found the file not sound, or export could not\n"
        "write a page; 2 wrong arguments; 3 the file cannot be read as a wiki;\n"
        "4 the wiki's password was not given or is wrong.\n"
        "\n"
        "See velmora(1) for more.\n");
}

// The web engine and the platform talk on stderr about fonts and screens; a subcommand's
// stderr is for its own messages.
void dropToolkitChatter(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "velmora: %s\n", qPrintable(message));
}

// Thousands separated, as the check prints sizes.
QString bytesText(qint64 bytes)
{
    QLocale locale(QLocale::English);
    return locale.toString(bytes);
}

} // namespace

CommandLine::CommandLine(const QStringList &arguments)
{
    parse(arguments);
}

CommandLine::~CommandLine() = default;

QStringList CommandLine::argumentsOf(int argc, char **argv)
{
    // As QCoreApplication will: the file names are in the user's locale's encoding.
    std::setlocale(LC_ALL, "");
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

void CommandLine::usageError(const QString &message)
{
    m_mode = Mode::Usage;
    m_usageMessage = message;
}

void CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption passwordFile(
        QStringLiteral("password-file"), QString(), QStringLiteral("FILE"));
    parser.addOptions({help, version, format, passwordFile});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        m_mode = Mode::Help;
        return;
    }
    if (parser.isSet(version)) {
        m_mode = Mode::Version;
        return;
    }

    QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    if (command != exportCommand && command != searchCommand && command != checkCommand) {
        if (parser.isSet(format) || parser.isSet(passwordFile))
            return usageError(tr("--format and --password-file belong to a subcommand."));
        if (positional.size() > 1)
            return usageError(
                tr("The window opens one wiki; \"%1\" is one too many.").arg(positional.at(1)));
        m_wikiPath = command;
        return;
    }
    positional.removeFirst();

    if (command == exportCommand) {
        m_mode = Mode::Export;
        const QString formatName = parser.value(format);
        if (formatName != QLatin1String("html") && formatName != QLatin1String("text"))
            return usageError(tr("export needs --format html or --format text."));
        m_asHtml = formatName == QLatin1String("html");
    } else if (parser.isSet(format)) {
        return usageError(tr("--format belongs to export."));
    }
    if (command == searchCommand)
        m_mode = Mode::Search;
    if (command == checkCommand) {
        m_mode = Mode::Check;
        if (parser.isSet(passwordFile))
            return usageError(tr("check reads no password."));
    }
    m_passwordFile = parser.value(passwordFile);

    const int wanted = m_mode == Mode::Check ? 1 : 2;
    if (positional.size() != wanted) {
        return usageError(positional.size() < wanted ? tr("%1 needs more arguments.").arg(command)
                                                     : tr("%1 takes %2 arguments, not %3.")
                                                           .arg(command)
                                                           .arg(wanted)
                                                           .arg(positional.size()));
    }
    m_wikiPath = positional.at(0);
    m_target = positional.value(1);
    if (m_wikiPath.isEmpty())
        usageError(tr("The wiki's file name is empty."));
}

int CommandLine::run(int &argc, char **argv)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Whatever the locale says: page names and lines reach other programs as they are.
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    m_out = &out;
    m_err = &err;

    switch (m_mode) {
    case Mode::Window:
        return Success;
    case Mode::Help:
        out << helpText();
        return Success;
    case Mode::Version:
        out << "Velmora " << productVersion << '\n';
        return Success;
    case Mode::Usage:
        err << "velmora: " << m_usageMessage << '\n' << shortUsage();
        return UsageError;
    default:
        break;
    }

    // The web engine that lays out the pages the search cannot read itself needs a GUI
    // application, but no screen: the off-screen platform serves without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropToolkitChatter);
    WebEngineArguments::prepareApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QApplication::setApplicationVersion(QLatin1String(productVersion));
    const int code = runSubcommand();
    out.flush();
    err.flush();
    return code;
}

int CommandLine::runSubcommand()
{
    switch (m_mode) {
    case Mode::Export:
        return runExport();
    case Mode::Search:
        return runSearch();
    default:
        return runCheck();
    }
}

std::unique_ptr<WikiDocument> CommandLine::openWiki(int *exitCode)
{
    // Checked before the document reads it: the document would start a new wiki in an empty
    // file and convert one of an earlier release, and a subcommand writes no wiki.
    const WikiFileCheck check = WikiFileCheck::run(m_wikiPath);
    const QString notAWiki = WikiFileCheck::notAWikiMessage(m_wikiPath);
    if (!check.isSound()) {
        if (check.outcome() != WikiFileCheck::Unopenable && check.problem() != notAWiki)
            *m_err << "velmora: " << notAWiki << '\n';
        *m_err << "velmora: " << check.problem() << '\n';
        *exitCode = Unreadable;
        return nullptr;
    }
    auto wiki = std::make_unique<WikiDocument>(m_wikiPath);
    if (wiki->loadFailed() || !wiki->homePage()) {
        *m_err << "velmora: " << notAWiki << '\n';
        *exitCode = Unreadable;
        return nullptr;
    }
    if (!unlock(wiki.get(), exitCode))
        return nullptr;
    return wiki;
}

QString CommandLine::passwordFromFileText(const QByteArray &text)
{
    const int end = text.indexOf('\n');
    QByteArray line = end < 0 ? text : text.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

bool CommandLine::unlock(WikiDocument *wiki, int *exitCode)
{
    const PasswordDescriptor &descriptor = wiki->passwordDescriptor();
    if (!descriptor.isSet())
        return true;
    *exitCode = PasswordRefused;

    QString password;
    if (!m_passwordFile.isEmpty()) {
        QFile file(m_passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *m_err << "velmora: "
                   << tr("The password file \"%1\" cannot be read: %2")
                          .arg(QDir::toNativeSeparators(m_passwordFile), file.errorString())
                   << '\n';
            return false;
        }
        password = passwordFromFileText(file.readAll());
    } else if (::isatty(STDIN_FILENO)) {
        password = askPassword(descriptor.passwordHint());
    } else {
        *m_err << "velmora: "
               << tr("The wiki \"%1\" is protected by a password. Give it with --password-file "
                     "FILE, or run velmora on a terminal to be asked for it.")
                      .arg(QDir::toNativeSeparators(m_wikiPath))
               << '\n';
        return false;
    }
    if (!PasswordDescriptor::checkPassword(
            password, descriptor.hashedPassword(), descriptor.salt())) {
        *m_err << "velmora: " << tr("Invalid password.") << '\n';
        return false;
    }
    *exitCode = Success;
    return true;
}

QString CommandLine::askPassword(const QString &hint)
{
    if (!hint.trimmed().isEmpty())
        *m_err << tr("Password hint: %1").arg(hint.trimmed()) << '\n';
    *m_err << tr("Password for %1: ").arg(QFileInfo(m_wikiPath).fileName());
    m_err->flush();

    termios saved;
    const bool isTerminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (isTerminal) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    QByteArray line;
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar())
        line.append(char(c));
    if (isTerminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    *m_err << '\n';
    m_err->flush();
    return passwordFromFileText(line);
}

int CommandLine::runExport()
{
    int code = Success;
    const std::unique_ptr<WikiDocument> wiki = openWiki(&code);
    if (!wiki)
        return code;
    const QString folder = QDir(m_target).absolutePath();
    if (!QDir().mkpath(folder)) {
        *m_err << "velmora: "
               << tr("The folder \"%1\" cannot be made.").arg(QDir::toNativeSeparators(folder))
               << '\n';
        return NotFound;
    }
    const QList<Page *> pages = wiki->allPages();
    const QString title = QFileInfo(wiki->filePath()).completeBaseName();
    const bool exported
        = m_asHtml ? exportPagesAsHtml(pages, folder, title) : exportPagesAsText(pages, folder);
    if (!exported) {
        *m_err << "velmora: " << tr("Some pages could not be exported.") << '\n';
        return NotFound;
    }
    return Success;
}

int CommandLine::runSearch()
{
    int code = Success;
    const std::unique_ptr<WikiDocument> wiki = openWiki(&code);
    if (!wiki)
        return code;
    SearchRunner runner;
    const QList<SearchResult> results = runner.run(wiki->allPages(), m_target);
    for (const SearchResult &result : results) {
        if (result.isLocked()) {
            *m_out << tr("%1 - PASSWORD PROTECTED").arg(result.pageName()) << '\n';
            continue;
        }
        // One line per hit, whatever breaks the page's line holds.
        QString line = result.text().trimmed();
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '));
        *m_out << result.pageName() << ": " << line << '\n';
    }
    return results.isEmpty() ? NotFound : Success;
}

int CommandLine::runCheck()
{
    const WikiFileCheck check = WikiFileCheck::run(m_wikiPath);
    if (check.outcome() == WikiFileCheck::Unopenable) {
        *m_err << "velmora: " << check.problem() << '\n';
        return Unreadable;
    }
    QTextStream &out = *m_out;
    if (check.isSound()) {
        const qint64 limit = WikiFileCheck::maxDocumentSize();
        out << tr("Pages: %1").arg(check.pageCount()) << '\n'
            << tr("Folders: %1").arg(check.folderCount()) << '\n'
            << tr("Password protected: %1").arg(check.isPasswordProtected() ? tr("yes") : tr("no"))
            << '\n'
            << tr("Document size: %1 bytes of at most %2 (%3%)")
                   .arg(bytesText(check.documentSize()), bytesText(limit),
                       QString::number(
                           100.0 * double(check.documentSize()) / double(limit), 'f', 1))
            << '\n';
    }
    out << tr("File size: %1 bytes").arg(bytesText(check.fileSize())) << '\n';
    if (!check.isSound()) {
        *m_err << "velmora: " << check.problem() << '\n';
        return NotFound;
    }
    out << tr("The file is sound.") << '\n';
    return Success;
}
