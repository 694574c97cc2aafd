// The parts of writing a ZIP archive below the library's entry point: the pieces of deflate
// data that worker threads make (joined, they must inflate to the file at every size around a
// piece's edge, in order, whatever the number of threads), and the ZIP64 fields of the headers
// at the limits of the classic ones.

#include "ArchiverTestSupport.h"
#include "DeflatePipeline.h"
#include "LittleEndian.h"
#include "ZipRecords.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace testsupport;
using namespace archiver::zip;

namespace
{

std::string inflateRaw(const std::string& deflated, size_t expected)
{
    z_stream s{};
    EXPECT_EQ(inflateInit2(&s, -15), Z_OK);
    std::string out(expected + 16, '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
    s.avail_in = static_cast<uInt>(deflated.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&s, Z_FINISH);
    EXPECT_EQ(rc, Z_STREAM_END) << "the joined pieces are not one finished deflate stream";
    EXPECT_EQ(s.avail_in, 0u) << "bytes after the final block";
    out.resize(out.size() - s.avail_out);
    inflateEnd(&s);
    return out;
}

// Text that compresses, with repetitions that reach back across a piece's edge.
std::string text(size_t size)
{
    std::string out;
    for (int i = 0; out.size() < size; ++i)
        out += "line " + std::to_string(i % 5000) + " of a text that repeats itself\n";
    out.resize(size);
    return out;
}

} // namespace

TEST(ZipPieces, JoinedPiecesInflateToTheFileAtEverySizeAroundAnEdge)
{
    TempFolder dir;
    constexpr size_t P = DeflatePipeline::kPieceSize;
    const std::vector<size_t> sizes = {0, 1, P - 1, P, P + 1, 3 * P + 5};
    std::vector<PieceSource> sources;
    std::vector<std::string> contents;
    for (size_t i = 0; i < sizes.size(); ++i) {
        // Two of them do not compress.
        const bool noise = i == 1 || i == 4;
        contents.push_back(noise ? randomBytes(sizes[i], unsigned(i)) : text(sizes[i]));
        const std::string path = dir / ("f" + std::to_string(i));
        writeFile(path, contents.back());
        sources.push_back({path, sizes[i]});
    }
    for (const unsigned threads : {1u, 2u, 5u}) {
        DeflatePipeline pipeline(sources, 6, threads);
        std::vector<std::string> joined(sources.size());
        std::vector<uint32_t> crcs(sources.size(), 0);
        size_t count = 0;
        while (std::unique_ptr<PieceResult> r = pipeline.next()) {
            ASSERT_TRUE(r->ok) << r->error;
            const Piece& piece = pipeline.pieces()[count++];
            EXPECT_EQ(r->length, piece.length);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(r->input()), r->length),
                      contents[piece.file].substr(piece.offset, piece.length));
            joined[piece.file].append(reinterpret_cast<const char*>(r->deflated.data()),
                                      r->deflated.size());
            crcs[piece.file] = static_cast<uint32_t>(
                crc32_combine(crcs[piece.file], r->crc, static_cast<z_off_t>(r->length)));
        }
        EXPECT_EQ(count, pipeline.pieces().size());
        EXPECT_EQ(count, size_t(1 + 1 + 1 + 1 + 2 + 4));
        for (size_t i = 0; i < sources.size(); ++i) {
            const uint32_t whole = static_cast<uint32_t>(
                crc32_z(0, reinterpret_cast<const Bytef*>(contents[i].data()), contents[i].size()));
            EXPECT_EQ(crcs[i], whole) << "file " << i << ", threads " << threads;
            if (sizes[i] == 0) {
                EXPECT_TRUE(joined[i].empty());
                continue;
            }
            EXPECT_EQ(inflateRaw(joined[i], sizes[i]), contents[i])
                << "file " << i << ", threads " << threads;
        }
        // Priming each piece with the bytes before it keeps the size close to one stream's.
        if (threads == 2) {
            const std::string& t = contents[5];
            uLongf bound = compressBound(uLong(t.size()));
            std::string once(bound, '\0');
            ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(once.data()), &bound,
                                reinterpret_cast<const Bytef*>(t.data()), uLong(t.size()), 6),
                      Z_OK);
            EXPECT_LE(double(joined[4].size()), 1.01 * double(compressBound(uLong(P + 1))));
            EXPECT_LE(double(joined[5].size()), 1.005 * double(bound)) << bound;
        }
    }
}

TEST(ZipPieces, AFileThatChangesOrVanishesFailsItsPiece)
{
    TempFolder dir;
    writeFile(dir / "short", "12345");
    writeFile(dir / "grown", "123456789");
    DeflatePipeline pipeline({{dir / "short", 10}, {dir / "grown", 5}, {dir / "gone", 3}}, 6, 2);
    std::unique_ptr<PieceResult> r = pipeline.next();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->error, "読み込み中にファイルが短くなりました");
    r = pipeline.next();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->error, "読み込み中にファイルの大きさが変わりました");
    r = pipeline.next();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->ok);
    EXPECT_EQ(r->error.rfind("ファイルを開けません", 0), 0u) << r->error;
    EXPECT_FALSE(pipeline.next());
}

TEST(ZipRecordsTest, Zip64FieldsAppearExactlyAtTheClassicLimits)
{
    const auto u8 = [](const std::string& s, size_t at) {
        return reinterpret_cast<const unsigned char*>(s.data()) + at;
    };
    // 0xFFFE members fit the classic end record; 0xFFFF is its "see ZIP64" mark.
    std::string end = endRecords(0xFFFE, 100, 50);
    EXPECT_EQ(end.size(), 22u);
    EXPECT_EQ(archiver::le16(u8(end, 10)), 0xFFFE);
    end = endRecords(0xFFFF, 100, 50);
    ASSERT_EQ(end.size(), 56u + 20u + 22u);
    EXPECT_EQ(archiver::le32(u8(end, 0)), 0x06064b50u);
    EXPECT_EQ(archiver::le64(u8(end, 32)), 0xFFFFu);
    EXPECT_EQ(archiver::le64(u8(end, 48)), 100u);
    EXPECT_EQ(archiver::le32(u8(end, 56)), 0x07064b50u);
    EXPECT_EQ(archiver::le64(u8(end, 64)), 150u); // where the ZIP64 record starts
    EXPECT_EQ(archiver::le16(u8(end, 76 + 10)), 0xFFFF);
    end = endRecords(3, 0xFFFFFFFFull, 10);
    EXPECT_EQ(archiver::le32(u8(end, 76 + 16)), 0xFFFFFFFFu);

    MemberRecord m;
    m.name = "a";
    m.method = kMethodDeflated;
    m.size = 10;
    m.compressedSize = 5;
    m.headerOffset = 0xFFFFFFFEull;
    m.modTime = 1700000000;
    std::string central = centralHeader(m);
    // No ZIP64 field below the limit; the timestamp field only.
    EXPECT_EQ(archiver::le16(u8(central, 30)), 9);
    EXPECT_EQ(archiver::le32(u8(central, 42)), 0xFFFFFFFEu);
    m.headerOffset = 0x100000000ull;
    central = centralHeader(m);
    ASSERT_EQ(archiver::le16(u8(central, 30)), 4 + 8 + 9);
    EXPECT_EQ(archiver::le32(u8(central, 42)), 0xFFFFFFFFu);
    EXPECT_EQ(archiver::le16(u8(central, 47)), 0x0001);
    EXPECT_EQ(archiver::le16(u8(central, 49)), 8); // the offset alone
    EXPECT_EQ(archiver::le64(u8(central, 51)), 0x100000000ull);
    EXPECT_EQ(archiver::le16(u8(central, 6)), 45);

    // A local header that carries ZIP64 sizes keeps its length when written again.
    m.zip64Local = true;
    m.size = 0;
    const size_t before = localHeader(m).size();
    m.size = 5ull << 32;
    m.compressedSize = 4ull << 32;
    const std::string local = localHeader(m);
    EXPECT_EQ(local.size(), before);
    EXPECT_EQ(archiver::le32(u8(local, 22)), 0xFFFFFFFFu);
    EXPECT_EQ(archiver::le64(u8(local, 30 + 1 + 4)), 5ull << 32);
    EXPECT_EQ(archiver::le64(u8(local, 30 + 1 + 12)), 4ull << 32);
}
