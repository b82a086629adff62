#include "app/wikisafeguards.h"

#include "app/settings.h"
#include "app/versionsdialog.h"
#include "app/wikisizedialog.h"
#include "editor/editor.h"
#include "editor/imagefile.h"
#include "model/page.h"
#include "model/wikidocument.h"
#include "model/wikisizebudget.h"
#include "widgets/widgetutils.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>

#include <algorithm>

namespace {

// What an inserted picture adds to the page besides its data: the element and its identifier.
const qint64 pictureMarkup = 160;

// "<name> (my version).velmora" beside path, numbered when that is taken.
QString keepBothPath(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = stem + WikiSafeguards::tr(" (my version)") + suffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = stem + WikiSafeguards::tr(" (my version %1)").arg(n) + suffix;
    return candidate;
}

QString pixelText(const QSize &size)
{
    return WikiSafeguards::tr("%1 × %2 pixels").arg(size.width()).arg(size.height());
}

} // namespace

WikiSafeguards::WikiSafeguards(QWidget *window, Editor *editor, QStatusBar *statusBar)
    : QObject(window)
    , m_window(window)
    , m_editor(editor)
    , m_sizeLabel(new QLabel(statusBar))
{
    m_sizeLabel->setObjectName(QStringLiteral("wikiSizeLabel"));
    m_sizeLabel->setStyleSheet(QStringLiteral("#wikiSizeLabel { padding: 0 6px; }"));
    m_sizeLabel->hide();
    statusBar->addPermanentWidget(m_sizeLabel);
}

void WikiSafeguards::setWiki(WikiDocument *wiki)
{
    m_wiki = wiki;
    m_resolving = false;
    m_lastSaveFailed = false;
    if (wiki)
        wiki->versions().setEnabled(Settings::keepVersions());
    showSize();
}

void WikiSafeguards::showSize()
{
    m_sizeLabel->setVisible(m_wiki);
    if (!m_wiki)
        return;
    const qint64 size = m_wiki->storedDocumentSize();
    m_sizeLabel->setText(WikiSizeBudget::describe(size));
    if (!WikiSizeBudget::isNearlyFull(size) || m_sizeWarned.contains(m_wiki->filePath()))
        return;
    m_sizeWarned.insert(m_wiki->filePath());
    Gui::showInfoMessage(tr("Wiki Nearly Full"),
        tr("%1. A wiki file holds at most %2 MB of pages and pictures; when it is full, "
           "nothing more can be added. File > Wiki Size shows the largest pages and pictures, "
           "so that you can see what to trim.")
            .arg(WikiSizeBudget::describe(size))
            .arg(qRound(WikiSizeBudget::limit() / 1048576.0)),
        m_window);
}

bool WikiSafeguards::afterSave(bool saved)
{
    if (!m_wiki)
        return saved;
    const GuardedWrite write = m_wiki->lastWrite();
    if (!saved && write == GuardedWrite::ChangedOutside) {
        if (m_resolving)
            return false;
        resolveOutsideChange();
        return true;
    }
    // After a failed save the user has been told already that the file could not be written.
    const bool failedBefore = m_lastSaveFailed;
    m_lastSaveFailed = !saved;
    if (saved && write == GuardedWrite::WrittenAgain && !failedBefore
        && !m_vanishReported.contains(m_wiki->filePath())) {
        m_vanishReported.insert(m_wiki->filePath());
        Gui::showInfoMessage(tr("Wiki File Written Again"),
            tr("The wiki file \"%1\" was no longer there. Velmora has written it again.")
                .arg(QDir::toNativeSeparators(m_wiki->filePath())),
            m_window);
    }
    if (saved)
        showSize();
    return saved;
}

void WikiSafeguards::resolveOutsideChange()
{
    m_resolving = true;
    WikiDocument *wiki = m_wiki;
    const QString path = wiki->filePath();
    QMessageBox box(QMessageBox::Warning, tr("Wiki Changed Outside Velmora"),
        tr("The wiki file was changed outside Velmora since it was opened."), QMessageBox::NoButton,
        m_window);
    box.setObjectName(QStringLiteral("OutsideChangeBox"));
    box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    box.setInformativeText(
        tr("\"%1\"\n\nKeep Both saves your version under a new name beside it and goes on with "
           "it. Overwrite replaces the file with your version. Reload opens the file as it is "
           "now; your version is kept first (File > Restore From Backup).")
            .arg(QDir::toNativeSeparators(path)));
    QPushButton *keepBoth = box.addButton(tr("Keep Both"), QMessageBox::AcceptRole);
    QPushButton *overwrite = box.addButton(tr("Overwrite"), QMessageBox::DestructiveRole);
    QPushButton *reload = box.addButton(tr("Reload"), QMessageBox::RejectRole);
    box.setDefaultButton(keepBoth);
    // Closing the box loses nothing either.
    box.setEscapeButton(keepBoth);
    box.exec();
    // The wiki may have been replaced while the box was open.
    if (m_wiki != wiki)
        return;

    if (box.clickedButton() == overwrite) {
        // The save reports back like any other, through afterSave().
        wiki->fileGuard().acceptDisk();
        m_resolving = false;
        wiki->requestSave();
        return;
    }
    if (box.clickedButton() == reload) {
        if (!wiki->keepInVersions()) {
            m_resolving = false;
            Gui::showErrorMessage(
                tr("Your version could not be kept, so the file was not reloaded."), m_window);
            return;
        }
        reopenLater(path, true);
        return;
    }
    Q_UNUSED(keepBoth);
    const QString copy = keepBothPath(path);
    if (!wiki->saveCopyTo(copy)) {
        m_resolving = false;
        Gui::showErrorMessage(
            tr("Your version could not be saved as \"%1\".").arg(QDir::toNativeSeparators(copy)),
            m_window);
        return;
    }
    reopenLater(copy, false);
}

void WikiSafeguards::reopenLater(const QString &path, bool checkPassword)
{
    // Until then the file on disk is still not ours, so no save writes over it.
    QMetaObject::invokeMethod(
        this, [=] { emit reopenRequested(path, checkPassword); }, Qt::QueuedConnection);
}

bool WikiSafeguards::fits(qint64 insertedCharacters, bool latin1)
{
    Page *page = m_editor->currentPage();
    if (!m_wiki || !page)
        return false;
    if (WikiSizeBudget::fits(*m_wiki, page->content(), insertedCharacters, latin1))
        return true;
    Gui::showErrorMessage(
        tr("This would make the wiki larger than one wiki file can hold (%1 MB), so "
           "it was not added. File > Wiki Size shows the largest pages and "
           "pictures.")
            .arg(qRound(WikiSizeBudget::limit() / 1048576.0)),
        m_window);
    return false;
}

void WikiSafeguards::insertPicture(const ImageFile &picture)
{
    ImageFile stored = picture;
    if (picture.isLarge()) {
        QString choice = Settings::largePictureChoice();
        const ImageFile scaled = picture.scaled();
        if (choice == QLatin1String("ask")) {
            QMessageBox box(QMessageBox::Question, tr("Large Picture"),
                tr("This picture is %1 and takes %2. Store it scaled down to %3 (%4)?")
                    .arg(pixelText(picture.pixelSize()),
                        WikiSizeBudget::formatSize(picture.byteSize()),
                        pixelText(scaled.pixelSize()),
                        WikiSizeBudget::formatSize(scaled.byteSize())),
                QMessageBox::NoButton, m_window);
            box.setObjectName(QStringLiteral("LargePictureBox"));
            box.setWindowFlags(box.windowFlags() & ~Qt::WindowContextHelpButtonHint);
            QPushButton *scale = box.addButton(tr("Scale Down"), QMessageBox::AcceptRole);
            QPushButton *keep = box.addButton(tr("Keep Original"), QMessageBox::RejectRole);
            box.setDefaultButton(scale);
            box.setEscapeButton(keep);
            auto *remember = new QCheckBox(tr("Remember my choice"), &box);
            remember->setObjectName(QStringLiteral("rememberChoice"));
            box.setCheckBox(remember);
            box.exec();
            choice
                = box.clickedButton() == scale ? QStringLiteral("scale") : QStringLiteral("keep");
            if (remember->isChecked())
                Settings::setLargePictureChoice(choice);
        }
        if (choice == QLatin1String("scale"))
            stored = scaled;
    }
    const QString data = stored.toBase64();
    if (data.isEmpty()) {
        Gui::showInfoMessage(
            tr("Image Importer"), ImageFile::tr("Cannot load image. Unknown error."), m_window);
        return;
    }
    if (fits(data.size() + pictureMarkup, true))
        m_editor->insertImage(data, stored.format());
}

bool WikiSafeguards::interceptPaste()
{
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    if (!mime || !m_wiki || !m_editor->currentPage())
        return false;
    if (mime->hasImage() && !mime->hasHtml()) {
        const ImageFile picture(qvariant_cast<QImage>(mime->imageData()));
        if (picture.isValid()) {
            insertPicture(picture);
            return true;
        }
    }
    // Markup may grow by its escaping; text is stored escaped as well.
    const QString pasted = mime->hasHtml() ? mime->html() : mime->text();
    const bool latin1
        = std::all_of(pasted.begin(), pasted.end(), [](QChar c) { return c.unicode() <= 0xff; });
    return !fits(pasted.size() * 2, latin1);
}

void WikiSafeguards::showVersions()
{
    if (!m_wiki)
        return;
    VersionsDialog dialog(m_wiki->versions().list(), m_window);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenVersion().isEmpty())
        return;
    // What is in memory now goes to the file first, and from there into the versions.
    WikiDocument *wiki = m_wiki;
    if (!wiki->save())
        wiki->keepInVersions();
    if (!wiki->versions().restore(dialog.chosenVersion())) {
        Gui::showErrorMessage(
            tr("This version could not be restored. The wiki was not changed."), m_window);
        return;
    }
    emit reopenRequested(wiki->filePath(), false);
}

void WikiSafeguards::showSizes()
{
    if (!m_wiki)
        return;
    WikiSizeDialog dialog(*m_wiki, m_window);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenPageId().isEmpty())
        emit pageRequested(dialog.chosenPageId());
}
