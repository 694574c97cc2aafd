#pragma once

#include <QByteArray>
#include <QString>

// Files of the tests that need no more than QtCore.

// A file of tests/preview/data/ in the source tree.
QString previewDataPath(const QString& name);

// The file's bytes, or "<unreadable>" when it cannot be read (so that a comparison names it).
QByteArray readAll(const QString& path);

// Writes the bytes as the whole file; true when all were written.
bool writeAll(const QString& path, const QByteArray& bytes);
