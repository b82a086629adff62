#pragma once

#include <QCoreApplication>
#include <QImage>
#include <QString>

// An image file read for insertion into a page. The picture is decoded and encoded again, so
// that a page holds only pixels in one of the four formats it knows, never a file's metadata.
class ImageFile
{
    Q_DECLARE_TR_FUNCTIONS(ImageFile)

public:
    // Reads the file at path; on failure errorText receives the message for the user.
    ImageFile(const QString &path, QString *errorText);

    bool isValid() const;
    // The format the picture is stored in: the one its name says, PNG for any other name.
    QString format() const;
    // The picture encoded in format() as base64 text; empty when not valid or not encodable.
    QString toBase64() const;

    // "jpg", "jpeg", "png" or "bmp" by the end of the name, case ignored; empty for others.
    static QString formatForFileName(const QString &name);

private:
    QString filePath;
    QImage image;
};
