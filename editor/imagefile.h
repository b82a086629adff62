#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QString>

// A picture read for insertion into a page. A file already in the format its name says, and
// small enough, is stored byte for byte; anything else is decoded and encoded again in one of
// the four formats a page knows. A large picture can be scaled down before it is stored.
class ImageFile
{
    Q_DECLARE_TR_FUNCTIONS(ImageFile)

public:
    // Pictures larger than this on their long side, or than maxBytes, are large.
    static constexpr int maxSide = 2560;
    static constexpr qint64 maxBytes = 3 * 1024 * 1024 / 2;

    // Reads the file at path; on failure errorText receives the message for the user.
    ImageFile(const QString &path, QString *errorText);
    // A picture that came without a file (pasted): stored as PNG.
    explicit ImageFile(const QImage &image);

    bool isValid() const;
    // The format the picture is stored in: the one its name says, PNG for any other name.
    QString format() const;
    // The picture encoded in format() as base64 text; empty when not valid or not encodable.
    QString toBase64() const;

    QSize pixelSize() const { return image.size(); }
    // The bytes the picture is stored as.
    qint64 byteSize() const;
    bool isLarge() const;
    // The picture scaled to maxSide on its long side (never enlarged), as JPEG at quality 90,
    // or as PNG when it has transparency.
    ImageFile scaled() const;

    // "jpg", "jpeg", "png" or "bmp" by the end of the name, case ignored; empty for others.
    static QString formatForFileName(const QString &name);

private:
    ImageFile() = default;
    QByteArray encoded() const;

    QString filePath;
    QImage image;
    // What is stored: the file's own bytes, or the picture as encoded for storing.
    QByteArray storedBytes;
    QString storedFormat;
};
