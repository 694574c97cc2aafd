#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary program folder for one test: the program looks for exp.ini, the archiver
// libraries and temp/ in it.
class TestProgramFolder
{
public:
    TestProgramFolder();
    ~TestProgramFolder();
    QString path() const { return m_dir.path(); }
    QString iniPath() const { return m_dir.path() + QStringLiteral("/exp.ini"); }
    // Writes exp.ini as given (bytes as they would be on disk).
    void writeIni(const QByteArray& bytes) const;
    QByteArray readIni() const;

private:
    QTemporaryDir m_dir;
};

// The CRLF lines of an INI file in code page 932, as a Japanese Windows writes it.
QByteArray cp932Lines(const QStringList& lines);
