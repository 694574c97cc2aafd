#pragma once

#include "archive/ArchiverLibrary.h"

#include <QString>

#include <optional>

namespace archive
{

// What one call of a library's command entry point (Unlha, UnZip, Cab) gave back.
struct CallResult {
    // The library's result code (0 on success, 0x8000 and above on error); kNotCalled when
    // the library could not be called at all.
    int code = 0;
    // The report the library wrote into the buffer, with the NUL characters it was padded
    // with removed.
    QString report;
    // True when the library file is missing or lacks the entry point; nothing ran then.
    bool libraryMissing = false;
    // A sentence naming the library file and why it could not be called (empty otherwise).
    QString error;

    static constexpr int kNotCalled = -1;
};

// The report buffer sizes the program's commands hand to the libraries.
inline constexpr int kReportBufferSize = 2048;
inline constexpr int kDeleteReportBufferSize = 255;

// Runs one command line through a family's library. This is the seam between the windows
// and the libraries: the program uses LibraryArchiverCall, window tests a recording double
// that keeps each command line and runs nothing.
class ArchiverCall
{
public:
    virtual ~ArchiverCall();
    // `ownerWindow` is the native id of the window that owns the library's own dialogs (its
    // questions and progress window); `reportBufferSize` is the size of the buffer the
    // library writes its report into (it cuts the report to fit).
    virtual CallResult run(Family family, quintptr ownerWindow, const QString& commandLine,
                           int reportBufferSize) = 0;
};

// The real libraries, loaded by name from one folder (the program folder unless told).
class LibraryArchiverCall final : public ArchiverCall
{
public:
    LibraryArchiverCall();
    explicit LibraryArchiverCall(const QString& folder);
    CallResult run(Family family, quintptr ownerWindow, const QString& commandLine,
                   int reportBufferSize) override;

private:
    QString m_folder;
};

// One call through the library in `folder`: loads it, hands it the owner window, the command
// line (UTF-8) and a buffer of `reportBufferSize` bytes, and returns its result and report.
// A missing library is reported in the result, never by a crash.
CallResult runArchiver(Family family, quintptr ownerWindow, const QString& commandLine,
                       int reportBufferSize, const QString& folder);

// The text of a report buffer: UTF-8 with every NUL byte removed.
QString reportText(const QByteArray& buffer);

// The sentence shown when a family's library cannot be called; it names the library file.
QString missingLibraryText(Family family, const QString& folder);

// A path or member name as one operand of a command line: in double quotes, so that blanks
// stay inside it (every library honours quotes). The command language has no way to write a
// double quote inside an operand, so an operand holding one gives nothing, and the caller
// must refuse it rather than build a command line that means something else.
std::optional<QString> quoted(const QString& operand);

} // namespace archive
