#include "editor/imagefile.h"

#include <QBuffer>
#include <QFileInfo>

ImageFile::ImageFile(const QString &path, QString *errorText)
{
    QString error;
    if (path.isEmpty()) {
        error = tr("Cannot load image - file name is empty.");
    } else if (!QFileInfo::exists(path)) {
        error = tr("Cannot load image - file does not exist.");
    } else if (!QFileInfo(path).isFile()) {
        // Reading a pipe would wait for a writer for good.
        error = tr("Cannot load image - it is not a regular file.");
    } else {
        // The reader goes by the file's contents, so a picture with a misleading name still
        // loads; the name only decides the format it is stored in.
        image = QImage(path);
        if (image.isNull())
            error = tr("Cannot load image. Unknown error.");
        else
            filePath = path;
    }
    if (errorText)
        *errorText = error;
}

bool ImageFile::isValid() const
{
    return !filePath.isEmpty() && !image.isNull();
}

QString ImageFile::format() const
{
    // A picture that loaded under another name (a GIF, a file without an extension) would
    // otherwise find no encoder and end up in the page as an element without data. PNG loses
    // nothing and keeps transparency.
    const QString format = formatForFileName(filePath);
    return format.isEmpty() ? QStringLiteral("png") : format;
}

QString ImageFile::toBase64() const
{
    if (!isValid())
        return QString();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format().toLocal8Bit().constData(), -1))
        return QString();
    return QString::fromLatin1(bytes.toBase64());
}

QString ImageFile::formatForFileName(const QString &name)
{
    for (const char *format : {"jpg", "jpeg", "png", "bmp"}) {
        if (name.endsWith(QLatin1Char('.') + QLatin1String(format), Qt::CaseInsensitive))
            return QLatin1String(format);
    }
    return QString();
}
