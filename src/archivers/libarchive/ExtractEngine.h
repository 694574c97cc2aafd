#pragma once

#include "EntryReader.h"
#include "ParallelCopies.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace archiver
{

class DestinationTree;

// Extracts members read by an EntryReader into a destination folder. Knows nothing of
// command lines, dialogs or report formats: it asks and tells through the callbacks.
class ExtractEngine
{
public:
    // NoUnasked: no question could be shown (no display), which counts as "no".
    enum class Answer { Yes, YesToAll, No, NoUnasked, Cancel };
    enum class Outcome { Extracted, Skipped, Failed };

    struct Settings {
        std::string destination;
        bool keepFolders = true; // false: every member goes into the destination itself
        bool overwriteWithoutAsking = false;
        bool onlyNewer = false; // an existing file is replaced only by a newer member
        bool restoreTimes = true;
        // Rewrites the stored name before anything else looks at it (the stub decodes CP932
        // here); identity when empty.
        std::function<std::string(const std::string&)> decodeName;
        // Turns the libarchive name ("/" separated) into the name reported and matched
        // (CAB shows "\" as the format stores it).
        std::function<std::string(const std::string&)> displayName;
        // Whether the member at this position in the archive (0 the first) is encrypted, where
        // the format's reader does not say so itself; nothing more is known when empty.
        std::function<bool(size_t position)> encryptedAt;
        // Whether the member (by display name) was asked for.
        std::function<bool(const std::string&)> selected;
        // Asked when a member would replace an existing file and overwriting is not allowed.
        std::function<Answer(const std::string& path)> askOverwrite;
        // Called before and while a member is written: member, bytes so far, its size;
        // false cancels.
        std::function<bool(const std::string&, uint64_t, uint64_t)> progress;
        // One call per member handled or folder made; text is empty for plain success.
        std::function<void(Outcome, const std::string& name, const std::string& text)> report;
        std::function<void(const std::string& folder)> folderMade;
        // A second reader of the same archive, for a format whose members can be reached
        // without decoding the ones before them (ZIP). With it and more than one thread, file
        // members are copied side by side by that many workers, each through a reader of its
        // own; questions, reports and files taking their names keep the archive's order.
        std::function<std::unique_ptr<EntryReader>()> openReader;
        unsigned threads = 1;
    };

    struct Result {
        int extracted = 0;
        int skipped = 0;
        int failed = 0;
        bool damaged = false; // the archive could not be read to its end
        bool cancelled = false;
        bool crcError = false;
        bool unsafe = false;      // at least one member was refused for its path or kind
        bool unsupported = false; // at least one member is encrypted or in a method we lack
        std::string damage;       // the reader's account of the damage
    };

    explicit ExtractEngine(Settings settings);
    ~ExtractEngine();
    ExtractEngine(const ExtractEngine&) = delete;
    ExtractEngine& operator=(const ExtractEngine&) = delete;
    Result run(EntryReader& reader);

private:
    enum class Write { Done, Failed, Cancelled, CrcError };
    // New: nothing of the name is there; Write: a file is, and is to be replaced.
    enum class Existing { New, Write, Skip, Cancel };
    // Reports now, or at the turn of the member being prepared while earlier ones are copied.
    void report(Outcome outcome, const std::string& name, const std::string& text);
    void folderMade(const std::string& folder);
    // Side by side copies: hands the member over; finishes one in its turn; waits for those
    // that write where `target` goes (false after a cancel).
    bool startCopy(int folderFd, const std::string& fileName, const ArchiveEntry& entry,
                   const std::string& shown, const std::string& target, Result& result);
    void finishCopy(ParallelCopies::Entry& e, const ParallelCopies::Outcome& o, Result& result);
    bool settle(bool all, Result& result, size_t keep = 0);
    // A complete file: size checked, mode and time set, renamed to its name when written under
    // a temporary one.
    Write finishFile(int fd, int folderFd, const std::string& temp, const std::string& fileName,
                     const ArchiveEntry& entry, std::string& error);
    // A new temporary file in the folder, -1 (with the reason) when none can be made.
    static int openTemporary(int folderFd, std::string& temp, std::string& error);
    void reportWritten(Write written, const std::string& shown, const std::string& target,
                       const std::string& error, Result& result);
    std::string fullPath(const std::string& relative) const;
    // False when the member is not to be written (it was skipped and reported as needed);
    // otherwise parts holds its safe path.
    bool admit(EntryReader& reader, const ArchiveEntry& entry, const std::string& shown,
               std::vector<std::string>& parts, Result& result);
    // The folder, made as needed; -1 (reported) when it cannot be.
    int openFolder(DestinationTree& tree, const std::vector<std::string>& parts,
                   const std::string& shown, Result& result);
    void makeFolder(DestinationTree& tree, const std::vector<std::string>& parts,
                    const std::string& shown, Result& result);
    // What to do about a file of the member's name that is already there.
    Existing checkExisting(int folderFd, const std::string& fileName, const ArchiveEntry& entry,
                           const std::string& shown, const std::string& target, Result& result);
    // Writes one file member; false ends the extraction (cancel, or damage past recovery).
    bool extractFile(EntryReader& reader, DestinationTree& tree, const ArchiveEntry& entry,
                     const std::vector<std::string>& parts, const std::string& shown,
                     Result& result);
    Write writeMember(EntryReader& reader, int folderFd, const std::string& fileName,
                      const ArchiveEntry& entry, const std::string& shown, bool replacing,
                      std::string& error);

    Settings m_settings;
    std::string m_destination;
    bool m_yesToAll = false;
    std::unique_ptr<ParallelCopies> m_copies;
    size_t m_position = 0;    // of the member being prepared
    std::string m_rawName;    // its name as the reader gave it
    bool m_givenUp = false;   // a copy was given up by a cancel
    bool m_finishing = false; // an entry is being finished: its lines go out now
};

} // namespace archiver
