// koramo-sfx: the program at the front of a self-extracting archive (NAME.run). It finds
// the archive appended to itself, asks where to extract it, extracts it safely and honours
// the "$" menu directive. LZH archives are read with the LZH library's own code, cabinets
// through libarchive.

#include "ExtractEngine.h"
#include "LibarchiveReader.h"
#include "LzhEntryReader.h"
#include "MenuDirective.h"
#include "NameCodec.h"
#include "Payload.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

struct Arguments {
    std::string destination;
    bool yes = false;
    bool help = false;
    std::string bad;
};

Arguments parseArguments(int argc, char** argv)
{
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--yes" || arg == "-y")
            a.yes = true;
        else if (arg == "--help" || arg == "-h")
            a.help = true;
        else if (arg == "--dest" && i + 1 < argc)
            a.destination = argv[++i];
        else if (arg.rfind("--dest=", 0) == 0)
            a.destination = arg.substr(7);
        else
            a.bad = arg;
    }
    return a;
}

bool interactive()
{
    return ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
}

std::string askLine(const std::string& prompt)
{
    std::cout << prompt << std::flush;
    std::string line;
    if (!std::getline(std::cin, line))
        return std::string();
    return line;
}

bool hasProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string all = path ? path : "/usr/bin:/bin";
    size_t pos = 0;
    while (pos <= all.size()) {
        size_t colon = all.find(':', pos);
        if (colon == std::string::npos)
            colon = all.size();
        const std::string candidate = all.substr(pos, colon - pos) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
        pos = colon + 1;
    }
    return false;
}

// Reads the whole output of a command run without a shell.
std::string runForOutput(const std::vector<std::string>& argv, int& status)
{
    int fds[2];
    status = -1;
    if (::pipe(fds) != 0)
        return std::string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int wstatus = 0;
    if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
        status = WEXITSTATUS(wstatus);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// Where to extract: the terminal asks when there is one; on a desktop without a terminal a
// folder chooser is used when one is installed; otherwise the default stands.
std::string chooseDestination(const std::string& fallback, bool& cancelled)
{
    cancelled = false;
    if (interactive()) {
        const std::string answer = askLine("展開先のフォルダ [" + fallback + "]: ");
        if (!std::cin)
            cancelled = true;
        return answer.empty() ? fallback : answer;
    }
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    int status = -1;
    if (display && hasProgram("zenity")) {
        const std::string picked =
            runForOutput({"zenity", "--file-selection", "--directory", "--title=展開先のフォルダ",
                          "--filename=" + fallback + "/"},
                         status);
        cancelled = status != 0;
        return picked.empty() ? fallback : picked;
    }
    if (display && hasProgram("kdialog")) {
        const std::string picked =
            runForOutput({"kdialog", "--getexistingdirectory", fallback}, status);
        cancelled = status != 0;
        return picked.empty() ? fallback : picked;
    }
    return fallback;
}

archiver::ExtractEngine::Answer askOverwrite(const std::string& path)
{
    if (!interactive())
        return archiver::ExtractEngine::Answer::NoUnasked;
    const std::string answer =
        askLine(path + " は既に存在します。上書きしますか？ [y]はい [a]すべて [n]いいえ [q]中止: ");
    if (answer == "y" || answer == "Y")
        return archiver::ExtractEngine::Answer::Yes;
    if (answer == "a" || answer == "A")
        return archiver::ExtractEngine::Answer::YesToAll;
    if (answer == "q" || answer == "Q" || !std::cin)
        return archiver::ExtractEngine::Answer::Cancel;
    return archiver::ExtractEngine::Answer::No;
}

// The reader of the appended archive, or nothing (error says why).
std::unique_ptr<archiver::EntryReader> openReader(const Payload& payload, std::string& error)
{
    if (payload.isCabinet()) {
        auto reader = std::make_unique<archiver::LibarchiveReader>();
        // A static program has no iconv modules: names come as stored and are decoded here.
        reader->setDecodeLegacyNamesAsCp932(false);
        if (!reader->openMemory(payload.data(), payload.size(),
                                archiver::LibarchiveReader::Format::Cab)) {
            error = reader->error();
            return nullptr;
        }
        return reader;
    }
    auto reader =
        std::make_unique<lzh::LzhEntryReader>(lzh::MemoryArchive(payload.data(), payload.size()));
    // The archive is written with its end mark (Unlha s adds one where it lacks it), so a
    // .run cut off between two members is told from a complete one.
    reader->setEndMarkRequired(true);
    if (!reader->open()) {
        error = reader->error();
        return nullptr;
    }
    return reader;
}

// The text of the "$" member at the archive's root, if there is one.
std::string readDirective(const Payload& payload)
{
    std::string error;
    const std::unique_ptr<archiver::EntryReader> reader = openReader(payload, error);
    if (!reader)
        return std::string();
    archiver::ArchiveEntry entry;
    while (reader->next(entry) == archiver::EntryReader::Step::Entry) {
        if (entry.name != "$" || entry.kind != archiver::ArchiveEntry::Kind::File ||
            entry.size > 64 * 1024) {
            reader->skipData();
            continue;
        }
        FILE* temp = std::tmpfile();
        if (!temp)
            return std::string();
        std::string text;
        if (reader->copyData(fileno(temp), nullptr)) {
            std::rewind(temp);
            char buffer[4096];
            size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, temp)) > 0)
                text.append(buffer, n);
        }
        std::fclose(temp);
        return archiver::utf8OrCp932ToUtf8(text);
    }
    return std::string();
}

std::string selfPath(const char* argv0)
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        return std::string(buffer, static_cast<size_t>(n));
    return argv0 ? argv0 : "";
}

// The default destination: a folder named after the program, beside it.
std::string defaultDestination(const std::string& self)
{
    const size_t slash = self.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : self.substr(0, slash);
    std::string base = slash == std::string::npos ? self : self.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0)
        base.resize(dot);
    return (folder.empty() ? std::string("/") : folder + "/") + base;
}

archiver::ExtractEngine::Settings extractionSettings(const std::string& destination, bool yes,
                                                     bool cabinet)
{
    archiver::ExtractEngine::Settings settings;
    settings.destination = destination;
    settings.keepFolders = true;
    settings.overwriteWithoutAsking = yes;
    // LZH names come decoded by the LZH reader; cabinet names come as stored.
    if (cabinet) {
        settings.decodeName = [](const std::string& name) {
            std::string decoded = archiver::utf8OrCp932ToUtf8(name);
            std::replace(decoded.begin(), decoded.end(), '\\', '/');
            return decoded;
        };
    }
    // The directive is read on its own; it is not a file the user asked for.
    settings.selected = [](const std::string& name) { return name != "$"; };
    settings.askOverwrite = askOverwrite;
    settings.report = [](archiver::ExtractEngine::Outcome outcome, const std::string& name,
                         const std::string& text) {
        switch (outcome) {
        case archiver::ExtractEngine::Outcome::Extracted:
            std::cout << "展開  " << name << "\n";
            break;
        case archiver::ExtractEngine::Outcome::Skipped:
            std::cout << "スキップ  " << name << " : " << text << "\n";
            break;
        case archiver::ExtractEngine::Outcome::Failed:
            std::cerr << "エラー  " << name << " : " << text << "\n";
            break;
        }
    };
    return settings;
}

// Extracts the whole archive; true only when every member the archive holds was written or
// deliberately kept (an existing file the user chose to keep).
bool extractAll(const Payload& payload, const std::string& destination, bool yes)
{
    std::string error;
    const std::unique_ptr<archiver::EntryReader> reader = openReader(payload, error);
    if (!reader) {
        std::cerr << "書庫を開けません: " << error << "\n";
        return false;
    }
    archiver::ExtractEngine engine(extractionSettings(destination, yes, payload.isCabinet()));
    const archiver::ExtractEngine::Result result = engine.run(*reader);
    if (result.damaged)
        std::cerr << "書庫が壊れています: " << result.damage << "\n";
    if (result.cancelled)
        std::cerr << "中止しました。\n";
    const bool ok = !result.damaged && !result.cancelled && result.failed == 0 && !result.unsafe &&
                    !result.unsupported;
    if (ok) {
        std::cout << result.extracted << " 個のファイルを " << destination << " に展開しました。\n";
    } else {
        std::cerr << "展開は完了していません: " << destination << " に " << result.extracted
                  << " 個を展開しましたが、展開できなかったファイルがあります (エラー "
                  << result.failed << " 件, スキップ " << result.skipped << " 件)。\n";
    }
    return ok;
}

// Honours the "$" directive after a complete extraction (the "$" file itself is an order to
// this program, not one of the user's files, and is never extracted); false when the
// archive asks for an entry that could not be written.
bool installDirective(const Payload& payload, const std::string& destination, bool yes)
{
    const std::string directiveText = readDirective(payload);
    if (directiveText.empty())
        return true;
    MenuDirective directive;
    if (!directive.parse(directiveText)) {
        std::cerr << "メニューの指定 ($) が不完全なため、メニューには登録しませんでした。\n";
        return false;
    }
    if (!yes && interactive()) {
        const std::string question =
            directive.title().empty() ? "メニューに登録しますか？" : directive.title();
        const std::string answer = askLine(question + " [Y/n]: ");
        if (!answer.empty() && answer != "y" && answer != "Y")
            return true;
    }
    char resolved[4096];
    const std::string absolute =
        ::realpath(destination.c_str(), resolved) ? std::string(resolved) : destination;
    std::string error;
    const std::string written = directive.install(absolute, error);
    if (written.empty()) {
        std::cerr << error << "\n";
        return false;
    }
    std::cout << "メニューに登録しました: " << written << "\n";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // Names and messages are UTF-8 whatever the caller's locale says.
    if (!std::setlocale(LC_ALL, "C.UTF-8"))
        std::setlocale(LC_ALL, "");
    const Arguments args = parseArguments(argc, argv);
    if (args.help || !args.bad.empty()) {
        if (!args.bad.empty())
            std::cerr << "知らない指定です: " << args.bad << "\n";
        std::cout << "使い方: " << (argc > 0 ? argv[0] : "koramo-sfx")
                  << " [--dest フォルダ] [--yes]\n"
                     "  付いている書庫を展開します。--yes は確認をすべて「はい」にします。\n";
        return args.bad.empty() ? 0 : 2;
    }

    const std::string self = selfPath(argc > 0 ? argv[0] : nullptr);
    Payload payload;
    std::string error;
    if (!payload.open(self, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    if (!payload.isCabinet() && !payload.isLzh()) {
        std::cerr << "付いている書庫の形式が分かりません。\n";
        return 1;
    }

    std::string destination = args.destination;
    if (destination.empty()) {
        const std::string fallback = defaultDestination(self);
        bool cancelled = false;
        destination = args.yes ? fallback : chooseDestination(fallback, cancelled);
        if (cancelled) {
            std::cerr << "中止しました。\n";
            return 1;
        }
    }

    if (!extractAll(payload, destination, args.yes))
        return 1;
    return installDirective(payload, destination, args.yes) ? 0 : 1;
}
