#include "OrderedPacks.h"

namespace lzh
{

struct OrderedPacks::Pack final : archiver::WorkerPool::Item {
    Pack(std::string from, uint64_t bytes, const std::string& how,
         std::vector<std::unique_ptr<LzhEncoder>>& perWorker)
        : source(std::move(from)), size(bytes), method(how), encoders(perWorker)
    {
    }
    void run(unsigned worker, const std::atomic<bool>& stop) override
    {
        LzhEncoder* encoder = encoders.empty() ? nullptr : encoders[worker].get();
        result = packFile(source, method, encoder, &stop);
    }

    std::string source;
    uint64_t size;
    const std::string& method;
    std::vector<std::unique_ptr<LzhEncoder>>& encoders;
    PackedMember result; // written by the worker, read after waitDone
};

OrderedPacks::OrderedPacks(const std::string& method, unsigned threads, uint64_t budget)
    : m_method(method), m_budget(budget), m_limit(64 * std::max(1u, threads)), m_pool(threads)
{
    if (method != "-lh0-") {
        for (unsigned i = 0; i < m_pool.threads(); ++i)
            m_encoders.push_back(std::make_unique<LzhEncoder>(dictionaryBits(method)));
    }
}

OrderedPacks::~OrderedPacks()
{
    m_pool.stop();
}

bool OrderedPacks::room(uint64_t size) const
{
    if (m_waiting.empty())
        return true;
    return m_waiting.size() < m_limit && m_inFlight + size <= m_budget;
}

void OrderedPacks::start(const std::string& source, uint64_t size)
{
    auto pack = std::make_shared<Pack>(source, size, m_method, m_encoders);
    m_inFlight += size;
    m_waiting.push_back(pack);
    m_pool.submit(std::move(pack));
}

bool OrderedPacks::take(PackedMember& out, const std::function<bool()>& cancelled)
{
    using namespace std::chrono_literals;
    const std::shared_ptr<Pack> head = m_waiting.front();
    while (!m_pool.waitDone(*head, 50ms)) {
        if (cancelled && cancelled()) {
            m_pool.stop();
            return false;
        }
    }
    m_waiting.pop_front();
    m_inFlight -= head->size;
    if (!m_pool.ran(*head)) {
        out = PackedMember{};
        out.reason = "中止しました";
        return true;
    }
    out = std::move(head->result);
    return true;
}

} // namespace lzh
