#include "app/EarlyFolderRead.h"

#include <QDir>
#include <QThreadPool>

namespace app
{

namespace
{

std::mutex g_offerMutex;
std::shared_ptr<EarlyFolderRead> g_offered;

} // namespace

QString cleanFolderPath(const QString& path)
{
    return QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

EarlyFolderRead::EarlyFolderRead(QString folder) : m_folder(std::move(folder)) {}

void EarlyFolderRead::start(const QString& folder, qsizetype atOnce)
{
    auto read = std::make_shared<EarlyFolderRead>(cleanFolderPath(folder));
    {
        const std::lock_guard lock(g_offerMutex);
        if (g_offered)
            g_offered->m_stop->store(true);
        g_offered = read;
    }
    QThreadPool::globalInstance()->start([read, atOnce] { read->run(atOnce); });
}

std::shared_ptr<EarlyFolderRead> EarlyFolderRead::take(const QString& folder)
{
    const std::lock_guard lock(g_offerMutex);
    if (!g_offered || g_offered->m_folder != cleanFolderPath(folder))
        return nullptr;
    return std::exchange(g_offered, nullptr);
}

void EarlyFolderRead::withdraw()
{
    const std::lock_guard lock(g_offerMutex);
    if (g_offered)
        g_offered->m_stop->store(true);
    g_offered.reset();
}

void EarlyFolderRead::run(qsizetype atOnce)
{
    FolderReader reader(m_folder);
    if (!reader.opened())
        return settle(Size::Unreadable, nullptr, true);
    if (reader.read(atOnce, m_stop.get()))
        return settle(Size::Small, reader.finish(), true);
    if (m_stop->load())
        return settle(Size::Large, nullptr, true);
    settle(Size::Large, nullptr, false);
    reader.orderWhileReading();
    while (!reader.read(1 << 16, m_stop.get())) {
        if (m_stop->load())
            return settle(Size::Large, nullptr, true);
    }
    settle(Size::Large, m_stop->load() ? nullptr : reader.finish(), true);
}

void EarlyFolderRead::settle(Size size, std::shared_ptr<const FolderNames> names, bool done)
{
    Whenread then;
    {
        const std::lock_guard lock(m_mutex);
        m_sized = true;
        m_size = size;
        m_names = std::move(names);
        m_done = done;
        if (done)
            then = std::move(m_then);
    }
    m_changed.notify_all();
    if (then)
        then(m_names);
}

EarlyFolderRead::Size EarlyFolderRead::waitForSize()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_sized; });
    return m_size;
}

std::shared_ptr<const FolderNames> EarlyFolderRead::names() const
{
    const std::lock_guard lock(m_mutex);
    return m_names;
}

void EarlyFolderRead::whenRead(Whenread then)
{
    std::unique_lock lock(m_mutex);
    if (!m_done) {
        m_then = std::move(then);
        return;
    }
    const std::shared_ptr<const FolderNames> names = m_names;
    lock.unlock();
    // Read already: the rest of the work goes to a worker all the same, as it would have.
    QThreadPool::globalInstance()->start([then = std::move(then), names] { then(names); });
}

} // namespace app
