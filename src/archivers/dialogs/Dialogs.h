#pragma once

#include "ArchiverApi.h"
#include "Report.h"

#include <optional>
#include <string>

namespace archiver
{

// Questions an archiver asks its user, in dialogs owned by the caller's window. None is
// shown without a display or without a running QApplication; the answer is then "no" and
// shown() reports false so that the report can say why.
enum class OverwriteAnswer { Yes, YesToAll, No, Cancel };

struct Asked {
    bool shown = false;
};

// "PATH already exists. Overwrite?" with Yes, Yes to all, No, Cancel.
OverwriteAnswer askOverwrite(ArchiverWindow owner, const std::string& path, Asked& asked);
// "PATH already exists. Replace it?" with Yes and No (No is the default): one file, such as
// a self-extracting archive, about to be written over.
bool askReplace(ArchiverWindow owner, const std::string& path, Asked& asked);
// Whether the file may be written over: yes when it does not exist or `overwrite` says so;
// otherwise the user is asked (askReplace). A refusal, or no display to ask on, is written
// to the report with the path.
bool mayReplaceFile(ArchiverWindow owner, const std::string& path, bool overwrite, Report& report);
// Yes/No question.
bool askYesNo(ArchiverWindow owner, const std::string& title, const std::string& text,
              Asked& asked);
// A line of text; nullopt when cancelled or not shown.
std::optional<std::string> askText(ArchiverWindow owner, const std::string& title,
                                   const std::string& prompt, const std::string& initial,
                                   Asked& asked);
// True when a dialog could be shown now.
bool dialogsPossible();

} // namespace archiver
