#include "editor/imagefile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// The reader's name for the format a page stores under that name.
QByteArray readerFormat(const QString &format)
{
    return format == QLatin1String("jpg") ? QByteArray("jpeg") : format.toLatin1();
}

QByteArray encode(const QImage &image, const QString &format, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, readerFormat(format).constData(), quality))
        return QByteArray();
    return bytes;
}

} // namespace

ImageFile::ImageFile(const QString &path, QString *errorText)
{
    QString error;
    QFile file(path);
    if (path.isEmpty()) {
        error = tr("Cannot load image - file name is empty.");
    } else if (!QFileInfo::exists(path)) {
        error = tr("Cannot load image - file does not exist.");
    } else if (!QFileInfo(path).isFile()) {
        // Reading a pipe would wait for a writer for good.
        error = tr("Cannot load image - it is not a regular file.");
    } else if (!file.open(QIODevice::ReadOnly)) {
        error = tr("Cannot load image. Unknown error.");
    } else {
        // The reader goes by the file's contents, so a picture with a misleading name still
        // loads; the name only decides the format it is stored in.
        const QByteArray bytes = file.readAll();
        QBuffer buffer;
        buffer.setData(bytes);
        QImageReader reader(&buffer);
        const QByteArray contentFormat = reader.format();
        image = reader.read();
        if (image.isNull()) {
            error = tr("Cannot load image. Unknown error.");
        } else {
            filePath = path;
            if (contentFormat == readerFormat(format()))
                storedBytes = bytes;
        }
    }
    if (errorText)
        *errorText = error;
}

ImageFile::ImageFile(const QImage &picture)
    : filePath(QStringLiteral("pasted.png"))
    , image(picture)
    , storedBytes(encode(picture, QStringLiteral("png"), -1))
{ }

bool ImageFile::isValid() const
{
    return !filePath.isEmpty() && !image.isNull();
}

QString ImageFile::format() const
{
    if (!storedFormat.isEmpty())
        return storedFormat;
    // A picture that loaded under another name (a GIF, a file without an extension) would
    // otherwise find no encoder and end up in the page as an element without data. PNG loses
    // nothing and keeps transparency.
    const QString format = formatForFileName(filePath);
    return format.isEmpty() ? QStringLiteral("png") : format;
}

QByteArray ImageFile::encoded() const
{
    if (!isValid())
        return QByteArray();
    if (!storedBytes.isEmpty())
        return storedBytes;
    return encode(image, format(), readerFormat(format()) == "jpeg" ? 90 : -1);
}

QString ImageFile::toBase64() const
{
    return QString::fromLatin1(encoded().toBase64());
}

qint64 ImageFile::byteSize() const
{
    return encoded().size();
}

bool ImageFile::isLarge() const
{
    return isValid()
        && (std::max(image.width(), image.height()) > maxSide || byteSize() > maxBytes);
}

ImageFile ImageFile::scaled() const
{
    ImageFile result;
    if (!isValid())
        return result;
    result.filePath = filePath;
    result.image = std::max(image.width(), image.height()) > maxSide
        ? image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    result.storedFormat
        = result.image.hasAlphaChannel() ? QStringLiteral("png") : QStringLiteral("jpeg");
    result.storedBytes = encode(result.image, result.storedFormat, 90);
    return result;
}

QString ImageFile::formatForFileName(const QString &name)
{
    for (const char *format : {"jpg", "jpeg", "png", "bmp"}) {
        if (name.endsWith(QLatin1Char('.') + QLatin1String(format), Qt::CaseInsensitive))
            return QLatin1String(format);
    }
    return QString();
}
