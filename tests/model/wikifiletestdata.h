#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <random>

// Incompressible bytes, the same for the same seed in the tests and in their helper process.
inline QByteArray randomBytes(int size, unsigned seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    std::mt19937 generator(seed);
    for (int i = 0; i < size; i += 4) {
        const quint32 word = generator();
        std::memcpy(bytes.data() + i, &word, std::min(4, size - i));
    }
    return bytes;
}
