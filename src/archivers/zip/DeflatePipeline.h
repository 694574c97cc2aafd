#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace archiver::zip
{

// A file whose data goes into the archive, with the size it had when it was chosen.
struct PieceSource {
    std::string path;
    uint64_t size = 0;
};

// One piece of a file's data: at most kPieceSize bytes, read and deflated on its own.
struct Piece {
    size_t file = 0;
    uint64_t offset = 0;
    uint32_t length = 0;
    bool last = false; // the file's last piece
};

// What became of a piece. The raw data is kept, so that a member that deflate would not shrink
// can be stored from it.
struct PieceResult {
    bool ok = true;
    std::string error; // why the file could not be read, in the report's words
    std::vector<unsigned char> data;
    size_t inputStart = 0; // the piece's bytes start here; before them, the dictionary
    uint32_t length = 0;
    uint32_t crc = 0; // CRC-32 of the piece alone
    std::vector<unsigned char> deflated;
    const unsigned char* input() const { return data.data() + inputStart; }
};

// Reads and deflates the files' data on worker threads and hands the pieces back in their
// order. Each piece is raw deflate data primed with the 32 KiB before it and ended with a sync
// flush (the last piece of a file with the final block), so the pieces of a file joined make
// one deflate stream, close in size to deflating the file at once. At most a few pieces are
// read ahead of the one the caller takes, so memory stays bounded whatever the sizes.
class DeflatePipeline
{
public:
    static constexpr uint32_t kPieceSize = 1u << 20;

    // Level 0 only reads: the data is to be stored.
    DeflatePipeline(std::vector<PieceSource> files, int level, unsigned threads);
    ~DeflatePipeline();
    DeflatePipeline(const DeflatePipeline&) = delete;
    DeflatePipeline& operator=(const DeflatePipeline&) = delete;

    const std::vector<Piece>& pieces() const { return m_pieces; }
    // The next piece's result, in order, once it is ready; null after the last.
    std::unique_ptr<PieceResult> next();
    // Stops the workers; pieces not taken are dropped.
    void stop();

    static unsigned defaultThreads();

private:
    void work();
    std::unique_ptr<PieceResult> process(const Piece& piece, void* stream) const;

    std::vector<PieceSource> m_files;
    std::vector<Piece> m_pieces;
    int m_level;
    size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_workable;
    std::condition_variable m_ready;
    size_t m_nextToTake = 0;
    size_t m_nextToGive = 0;
    bool m_stopping = false;
    std::vector<std::unique_ptr<PieceResult>> m_slots;
    std::vector<std::thread> m_threads;
};

} // namespace archiver::zip
