#include "platform/shell/FolderSizeCounter.h"

#include "platform/shell/FolderWalk.h"

namespace platform
{

FolderSizeCounter::FolderSizeCounter(const QByteArray& folder, Report report)
    : m_report(std::move(report))
{
    m_thread = std::thread([this, folder] {
        Totals totals;
        qint64 lastReport = 0;
        m_clock.start();
        count(folder, totals, lastReport);
        if (!m_stop) {
            totals.finished = true;
            m_report(totals);
        }
    });
}

FolderSizeCounter::~FolderSizeCounter()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void FolderSizeCounter::count(const QByteArray& folder, Totals& totals, qint64& lastReport)
{
    folderwalk::Walk walk;
    walk.visit = [&](const folderwalk::Walk::Item& item) {
        if (m_stop)
            return folderwalk::Walk::Next::Stop;
        if (item.entry.error != 0)
            return folderwalk::Walk::Next::Skip;
        if (item.isFolder()) {
            ++totals.folders;
        } else {
            ++totals.files;
            totals.bytes += item.entry.info.st_size;
        }
        if (m_clock.elapsed() - lastReport >= 200) {
            lastReport = m_clock.elapsed();
            m_report(totals);
        }
        return folderwalk::Walk::Next::Enter;
    };
    walk.run(folder);
}

} // namespace platform
