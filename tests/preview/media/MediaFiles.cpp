#include "MediaFiles.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>

#include <cmath>

namespace
{
void put32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void put16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void putBig32(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void putBig16(QByteArray& out, quint16 value)
{
    char bytes[2];
    qToBigEndian(value, bytes);
    out.append(bytes, 2);
}

QByteArray chunk(const char* id, const QByteArray& body)
{
    QByteArray out(id, 4);
    put32(out, quint32(body.size()));
    out += body;
    if (body.size() % 2)
        out.append('\0');
    return out;
}

QByteArray list(const char* type, const QByteArray& body)
{
    return chunk("LIST", QByteArray(type, 4) + body);
}
} // namespace

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeWav(const QString& path, int milliseconds)
{
    constexpr int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray format;
    put16(format, 1); // PCM
    put16(format, 1); // mono
    put32(format, rate);
    put32(format, rate * 2);
    put16(format, 2);
    put16(format, 16);
    QByteArray data;
    for (int i = 0; i < samples; ++i)
        put16(data, quint16(qint16(8000 * std::sin(2 * M_PI * 440 * i / rate))));
    return writeBytes(
        path, chunk("RIFF", QByteArray("WAVE") + chunk("fmt ", format) + chunk("data", data)));
}

bool writeMidi(const QString& path, int quarterNotes)
{
    constexpr int division = 96;
    QByteArray track;
    track += QByteArray::fromHex("00ff510307a120"); // tempo: 500000 microseconds a quarter
    track += QByteArray::fromHex("00c000");         // piano
    track += QByteArray::fromHex("00903c64");       // note on, middle C
    // Delta time as a variable-length quantity.
    quint32 ticks = quint32(quarterNotes * division);
    QByteArray delta(1, char(ticks & 0x7f));
    while (ticks >>= 7)
        delta.prepend(char(0x80 | (ticks & 0x7f)));
    track += delta;
    track += QByteArray::fromHex("803c40");   // note off
    track += QByteArray::fromHex("00ff2f00"); // end of track
    QByteArray out("MThd");
    putBig32(out, 6);
    putBig16(out, 0);
    putBig16(out, 1);
    putBig16(out, division);
    out += "MTrk";
    putBig32(out, quint32(track.size()));
    out += track;
    return writeBytes(path, out);
}

bool writeAvi(const QString& path, int frames, const QColor& colour)
{
    constexpr int width = 32, height = 24, fps = 10;
    constexpr int frameSize = width * height * 3;
    QByteArray picture;
    for (int i = 0; i < width * height; ++i) {
        picture.append(char(colour.blue()));
        picture.append(char(colour.green()));
        picture.append(char(colour.red()));
    }

    QByteArray avih;
    put32(avih, 1000000 / fps);
    put32(avih, frameSize * fps);
    put32(avih, 0);
    put32(avih, 0x10); // has an index
    put32(avih, quint32(frames));
    put32(avih, 0);
    put32(avih, 1);
    put32(avih, frameSize);
    put32(avih, width);
    put32(avih, height);
    for (int i = 0; i < 4; ++i)
        put32(avih, 0);

    QByteArray strh("vidsDIB ");
    put32(strh, 0);   // flags
    put32(strh, 0);   // priority, language
    put32(strh, 0);   // initial frames
    put32(strh, 1);   // scale
    put32(strh, fps); // rate
    put32(strh, 0);   // start
    put32(strh, quint32(frames));
    put32(strh, frameSize);
    put32(strh, 0xffffffff); // quality
    put32(strh, 0);          // sample size
    put16(strh, 0);
    put16(strh, 0);
    put16(strh, width);
    put16(strh, height);

    QByteArray strf;
    put32(strf, 40);
    put32(strf, width);
    put32(strf, height);
    put16(strf, 1);
    put16(strf, 24);
    put32(strf, 0); // uncompressed
    put32(strf, frameSize);
    for (int i = 0; i < 4; ++i)
        put32(strf, 0);

    QByteArray movi;
    QByteArray index;
    for (int i = 0; i < frames; ++i) {
        index += "00db";
        put32(index, 0x10); // key frame
        put32(index, quint32(4 + movi.size()));
        put32(index, frameSize);
        movi += chunk("00db", picture);
    }
    const QByteArray hdrl =
        list("hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)));
    return writeBytes(
        path, chunk("RIFF", QByteArray("AVI ") + hdrl + list("movi", movi) + chunk("idx1", index)));
}
