#pragma once

#include "base/FileKind.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace preview
{

// Where the preview's text comes from. The real one reads the file system; a test puts in one
// that waits, as a file on a mount that does not answer does.
class TextSource
{
public:
    virtual ~TextSource() = default;
    // What the path is, by its status alone.
    virtual platform::FileStatus status(const QString& path) = 0;
    // Opens the regular file (nothing else is opened) and reads up to `limit` bytes from its
    // start. False, with the reason, when it cannot.
    virtual bool read(const QString& path, qint64 limit, QByteArray& bytes, QString& error) = 0;
};

class FileTextSource final : public TextSource
{
public:
    platform::FileStatus status(const QString& path) override;
    bool read(const QString& path, qint64 limit, QByteArray& bytes, QString& error) override;
};

// What a load found.
struct TextLoad {
    enum class Kind { Failed, Whole, Large };
    Kind kind = Kind::Failed;
    QByteArray bytes;    // Whole: the file; Large: nothing
    QByteArray encoding; // Large: the encoding its first bytes suggest
    QString error;       // Failed: why
};

// Reads the text to preview on a thread of its own. The caller waits for it a short while (a
// small local file is there at once and shown within the click); past that, the result comes
// later through loaded(), unless another load was started or the load dropped meanwhile. A
// read that never returns holds only its own thread.
class TextLoader final : public QObject
{
    Q_OBJECT
public:
    // Above this size the text goes to the large-file view, which reads it by position.
    static constexpr qint64 kLargeAbove = 16 * 1024 * 1024;

    explicit TextLoader(QObject* parent = nullptr);
    ~TextLoader() override;

    void setSource(std::shared_ptr<TextSource> source);
    // Starts loading the file; the result when it came within the budget, otherwise nothing
    // (loaded() brings it later).
    std::optional<TextLoad> start(const QString& path, std::chrono::milliseconds budget);
    // The load under way is no longer wanted: its result is dropped.
    void drop();
    bool isLoading() const { return m_waiting != 0; }
    QString loadingPath() const { return m_waitingPath; }

Q_SIGNALS:
    void loaded(const QString& path, const preview::TextLoad& load);

private:
    struct Mailbox;
    void deliver(quint64 generation, const TextLoad& load);

    std::shared_ptr<TextSource> m_source;
    std::shared_ptr<Mailbox> m_mailbox;
    quint64 m_generation = 0;
    quint64 m_waiting = 0; // the load whose result loaded() is to bring, or 0
    QString m_waitingPath;
};

} // namespace preview
