#pragma once
// Splits a fuzzer's bytes into texts: one text per line ('\n'), each read as
// UTF-8 (invalid sequences become replacement characters, as a paste would
// bring them). The seeds are plain text files, one field per line.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline QList<QString> FuzzLines(const uint8_t* data, size_t size)
{
    QList<QString> lines;
    const QByteArray all = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& line : all.split('\n'))
        lines << QString::fromUtf8(line);
    return lines;
}

// A property that must hold for every input; reports and aborts so the
// fuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition, ...)                                                                                    \
    do {                                                                                                              \
        if (!(condition)) {                                                                                           \
            std::fprintf(stderr, "check failed: %s\n", #condition);                                                   \
            std::fprintf(stderr, __VA_ARGS__);                                                                        \
            std::fputc('\n', stderr);                                                                                 \
            std::abort();                                                                                             \
        }                                                                                                             \
    } while (0)
