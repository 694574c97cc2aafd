#pragma once

// The C interface shared by libunlha32.so, libunzip32.so and libcab32.so. Every library
// exports the same set of entry points under its own prefix (Unlha, UnZip, Cab, UnArc). Strings are
// UTF-8; the report written into the output buffer is UTF-8, cut to the buffer's size and
// always NUL-terminated.

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// One member of an archive as the find calls describe it: 558 bytes, packed, little-endian.
#pragma pack(push, 1)
typedef struct ArchiverMemberInfo {
    uint32_t originalSize;   // uncompressed size (low 32 bits; see …GetOriginalSizeEx)
    uint32_t compressedSize; // stored size (low 32 bits)
    uint32_t crc;            // CRC-16 for LZH, CRC-32 for ZIP and CAB
    uint32_t flag;           // 0, or the ratio's sign for libraries that use it
    uint32_t osType;         // 0 MS-DOS, 2 UNIX, 18 NT, … (ARCHIVER_OS_*)
    uint16_t ratio;          // compressed / original in per mille
    uint16_t dosDate;        // bits 15-9 year since 1980, 8-5 month, 4-0 day (local time)
    uint16_t dosTime;        // bits 15-11 hour, 10-5 minute, 4-0 seconds / 2
    char fileName[513];      // member name, UTF-8, NUL-terminated
    char reserved[3];
    char attribute[8]; // attribute text such as "a--w", NUL-terminated
    char mode[8];      // method text such as "-lh5-", NUL-terminated
} ArchiverMemberInfo;
#pragma pack(pop)

#define ARCHIVER_FILENAME_MAX 513

enum {
    ARCHIVER_OS_MSDOS = 0,
    ARCHIVER_OS_UNIX = 2,
    ARCHIVER_OS_MAC = 4,
    ARCHIVER_OS_OS2 = 5,
    ARCHIVER_OS_OTHER = 10,
    ARCHIVER_OS_HUMAN = 14,
    ARCHIVER_OS_NT = 18,
    ARCHIVER_OS_WIN95 = 19,
    ARCHIVER_OS_JAVA = 22,
    ARCHIVER_OS_UNKNOWN = -1
};

// Result codes of the command entry points and of the find calls. 0 is success.
enum {
    ARCHIVER_OK = 0,
    ARCHIVER_FIND_END = -1, // FindFirst / FindNext: no more members
    ARCHIVER_ERROR_DISK_SPACE = 0x8005,
    ARCHIVER_ERROR_READ_ONLY = 0x8006,
    ARCHIVER_ERROR_USER_SKIP = 0x8007,
    ARCHIVER_ERROR_UNKNOWN_TYPE = 0x8008,
    ARCHIVER_ERROR_METHOD = 0x8009,
    ARCHIVER_ERROR_VERSION = 0x800B,
    ARCHIVER_ERROR_FILE_CRC = 0x800C,
    ARCHIVER_ERROR_FILE_OPEN = 0x800D,
    ARCHIVER_ERROR_MORE_FRESH = 0x800E,
    ARCHIVER_ERROR_NOT_EXIST = 0x800F,
    ARCHIVER_ERROR_ALREADY_EXIST = 0x8010,
    ARCHIVER_ERROR_TOO_MANY_FILES = 0x8011,
    ARCHIVER_ERROR_MAKEDIRECTORY = 0x8012,
    ARCHIVER_ERROR_CANNOT_WRITE = 0x8013,
    ARCHIVER_ERROR_HUFFMAN_CODE = 0x8014,
    ARCHIVER_ERROR_HEADER_CRC = 0x8016,
    ARCHIVER_ERROR_HEADER_BROKEN = 0x8017,
    ARCHIVER_ERROR_ARC_FILE_OPEN = 0x8018,
    ARCHIVER_ERROR_NOT_ARC_FILE = 0x8019,
    ARCHIVER_ERROR_CANNOT_READ = 0x801A,
    ARCHIVER_ERROR_FILE_STYLE = 0x801B,
    ARCHIVER_ERROR_COMMAND_NAME = 0x801C,
    ARCHIVER_ERROR_MORE_HEAP_MEMORY = 0x801D,
    ARCHIVER_ERROR_ENOUGH_MEMORY = 0x801E,
    ARCHIVER_ERROR_USER_CANCEL = 0x8020,
    ARCHIVER_ERROR_HARC_ISNOT_OPENED = 0x8021,
    ARCHIVER_ERROR_NOT_SEARCH_MODE = 0x8022,
    ARCHIVER_ERROR_NOT_SUPPORT = 0x8023,
    ARCHIVER_ERROR_TMP_OPEN = 0x8026,
    ARCHIVER_ERROR_SAME_NAME_FILE = 0x8027,
    ARCHIVER_ERROR_NOT_FIND_ARC_FILE = 0x8028,
    ARCHIVER_ERROR_NOT_FILENAME = 0x802A,
    ARCHIVER_ERROR_EOF = 0x802C,
    ARCHIVER_ERROR_UNSAFE_PATH = 0x8040
};

// An open archive; 0 when it could not be opened.
typedef uintptr_t ArchiverHandle;
// The owner window's native id (X11 window or 0).
typedef uintptr_t ArchiverWindow;

#define ARCHIVER_DECLARE_ENTRY_POINTS(P)                                                           \
    __attribute__((visibility("default"))) int P(ArchiverWindow owner, const char* commandLine,    \
                                                 char* output, uint32_t outputSize);               \
    __attribute__((visibility("default")))                                                         \
    ArchiverHandle P##OpenArchive(ArchiverWindow owner, const char* archivePath, uint32_t mode);   \
    __attribute__((visibility("default"))) int P##FindFirst(                                       \
        ArchiverHandle archive, const char* wildcard, ArchiverMemberInfo* info);                   \
    __attribute__((visibility("default"))) int P##FindNext(ArchiverHandle archive,                 \
                                                           ArchiverMemberInfo* info);              \
    __attribute__((visibility("default"))) int P##CloseArchive(ArchiverHandle archive);            \
    __attribute__((visibility("default"))) int P##GetVersion(void);                                \
    /* 64-bit sizes of the member the last find call returned; 0 on success, -1 without one */     \
    __attribute__((visibility("default"))) int P##GetOriginalSizeEx(ArchiverHandle archive,        \
                                                                    int64_t* size);                \
    __attribute__((visibility("default"))) int P##GetCompressedSizeEx(ArchiverHandle archive,      \
                                                                      int64_t* size);              \
    /* The modification time of the member the last find call returned, in seconds since */        \
    /* 1970-01-01 UTC, when the archive holds it beyond the record's MS-DOS date and time (an */   \
    /* LZH Unix time or Windows time, a ZIP extended timestamp or NTFS time): 0 on success; */     \
    /* -1 without one, and then the record's MS-DOS date and time are all there is */              \
    __attribute__((visibility("default"))) int P##GetWriteTime64(ArchiverHandle archive,           \
                                                                 int64_t* seconds);

ARCHIVER_DECLARE_ENTRY_POINTS(Unlha)
ARCHIVER_DECLARE_ENTRY_POINTS(UnZip)
ARCHIVER_DECLARE_ENTRY_POINTS(Cab)
ARCHIVER_DECLARE_ENTRY_POINTS(UnArc)

// libunzip32.so only: the encoding of the names stored without the UTF-8 mark in one archive
// ("CP932", "UTF-8", "EUC-JP", "GBK", "Big5", "EUC-KR"); empty or null goes back to the guess
// (UTF-8 when the name is valid UTF-8, CP932 otherwise). Listing and extraction of that
// archive follow it from the next call on. 0 on success, ARCHIVER_ERROR_NOT_SUPPORT for an
// encoding not in the list.
__attribute__((visibility("default"))) int UnZipSetNameEncoding(const char* archivePath,
                                                                const char* encoding);
// libunarc32.so: the same for the names that its formats store as bytes of a legacy encoding
// (names that are not valid UTF-8; with nothing chosen they are read as CP932).
__attribute__((visibility("default"))) int UnArcSetNameEncoding(const char* archivePath,
                                                                const char* encoding);

#ifdef __cplusplus
} // extern "C"

static_assert(sizeof(ArchiverMemberInfo) == 558, "member record is 558 bytes");
static_assert(offsetof(ArchiverMemberInfo, originalSize) == 0);
static_assert(offsetof(ArchiverMemberInfo, compressedSize) == 4);
static_assert(offsetof(ArchiverMemberInfo, crc) == 8);
static_assert(offsetof(ArchiverMemberInfo, flag) == 12);
static_assert(offsetof(ArchiverMemberInfo, osType) == 16);
static_assert(offsetof(ArchiverMemberInfo, ratio) == 20);
static_assert(offsetof(ArchiverMemberInfo, dosDate) == 22);
static_assert(offsetof(ArchiverMemberInfo, dosTime) == 24);
static_assert(offsetof(ArchiverMemberInfo, fileName) == 26);
static_assert(offsetof(ArchiverMemberInfo, reserved) == 539);
static_assert(offsetof(ArchiverMemberInfo, attribute) == 542);
static_assert(offsetof(ArchiverMemberInfo, mode) == 550);
#else
_Static_assert(sizeof(ArchiverMemberInfo) == 558, "member record is 558 bytes");
#endif
