#include "preview/TextLoader.h"

#include "platform/TextEncoding.h"

#include <QFile>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace preview
{

namespace
{
// The detector looks at this much of a large file; one byte more tells it the sample was cut.
constexpr qint64 kSampleBytes = 256 * 1024;

// One load: its result, and whether it is there yet.
struct Slot {
    std::mutex mutex;
    std::condition_variable arrived;
    bool done = false;
    TextLoad result;
};

TextLoad readText(TextSource& source, const QString& path)
{
    TextLoad result;
    const platform::FileStatus status = source.status(path);
    if (status.kind != platform::FileKind::Regular) {
        result.error = status.kind == platform::FileKind::Missing
                           ? QStringLiteral("ファイルが見つかりません。")
                           : QStringLiteral("通常のファイルではないため開けません。");
        return result;
    }
    // A file that grew past the limit since its status was read goes to the large-file view
    // all the same: never more than the limit is held.
    const bool large = status.size > TextLoader::kLargeAbove;
    QByteArray bytes;
    if (!source.read(path, large ? kSampleBytes + 1 : TextLoader::kLargeAbove + 1, bytes,
                     result.error))
        return result;
    if (large || bytes.size() > TextLoader::kLargeAbove) {
        result.kind = TextLoad::Kind::Large;
        result.encoding = platform::detectEncoding(bytes.left(kSampleBytes + 1)).encoding;
    } else {
        result.kind = TextLoad::Kind::Whole;
        result.bytes = std::move(bytes);
    }
    return result;
}
} // namespace

platform::FileStatus FileTextSource::status(const QString& path)
{
    return platform::fileStatus(path);
}

bool FileTextSource::read(const QString& path, qint64 limit, QByteArray& bytes, QString& error)
{
    // Only a regular file is opened: a FIFO would wait for a writer, a device such as
    // /dev/zero would never end.
    QFile file;
    if (!platform::openRegularFile(path, file)) {
        error = platform::fileKind(path) == platform::FileKind::Missing
                    ? QStringLiteral("ファイルが見つかりません。")
                    : QStringLiteral("通常のファイルではないため開けません。");
        return false;
    }
    // Read, not mapped: a file that another program shortens while it loads must not bring
    // the program down (a mapping would fault on the missing pages).
    bytes = file.read(limit);
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    return true;
}

// Where the readers' results go: the loader while it lives, nowhere afterwards.
struct TextLoader::Mailbox {
    std::mutex mutex;
    TextLoader* loader = nullptr;
};

TextLoader::TextLoader(QObject* parent)
    : QObject(parent), m_source(std::make_shared<FileTextSource>()),
      m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->loader = this;
}

TextLoader::~TextLoader()
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->loader = nullptr;
}

void TextLoader::setSource(std::shared_ptr<TextSource> source)
{
    m_source = std::move(source);
}

std::optional<TextLoad> TextLoader::start(const QString& path, std::chrono::milliseconds budget)
{
    const quint64 generation = ++m_generation;
    m_waiting = 0;
    m_waitingPath.clear();
    auto slot = std::make_shared<Slot>();
    std::thread([slot, source = m_source, mailbox = m_mailbox, path, generation] {
        TextLoad result = readText(*source, path);
        {
            const std::lock_guard lock(slot->mutex);
            slot->result = result;
            slot->done = true;
        }
        slot->arrived.notify_one();
        const std::lock_guard lock(mailbox->mutex);
        if (TextLoader* loader = mailbox->loader) {
            QMetaObject::invokeMethod(
                loader, [loader, generation, result] { loader->deliver(generation, result); },
                Qt::QueuedConnection);
        }
    }).detach();
    std::unique_lock lock(slot->mutex);
    if (slot->arrived.wait_for(lock, budget, [&slot] { return slot->done; }))
        return std::move(slot->result);
    m_waiting = generation;
    m_waitingPath = path;
    return std::nullopt;
}

void TextLoader::drop()
{
    m_waiting = 0;
    m_waitingPath.clear();
}

void TextLoader::deliver(quint64 generation, const TextLoad& load)
{
    if (generation != m_waiting)
        return; // taken within the click, dropped, or overtaken by another load
    const QString path = m_waitingPath;
    m_waiting = 0;
    m_waitingPath.clear();
    Q_EMIT loaded(path, load);
}

} // namespace preview
