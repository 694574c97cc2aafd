#include "CabWriter.h"

#include <gio/gio.h>
#include <libgcab.h>

namespace archiver
{

namespace
{

// A CAB folder addresses its data with 16-bit block counts of 32 KiB each; a new folder is
// started well before that limit.
constexpr uint64_t kFolderLimit = 0x7FF00000ull;

struct ProgressContext {
    const std::function<bool(uint64_t, uint64_t)>* progress;
    GCancellable* cancellable;
    uint64_t filesDone;
    uint64_t filesTotal;
};

// libgcab calls this as it starts each file; progress is counted in files.
gboolean onFile(GCabFile*, gpointer data)
{
    auto* context = static_cast<ProgressContext*>(data);
    if (*context->progress && !(*context->progress)(context->filesDone, context->filesTotal))
        g_cancellable_cancel(context->cancellable);
    ++context->filesDone;
    return !g_cancellable_is_cancelled(context->cancellable);
}

std::string takeError(GError*& error, const char* fallback)
{
    std::string text = error && error->message ? error->message : fallback;
    g_clear_error(&error);
    return text;
}

} // namespace

bool CabWriter::write(const std::vector<Input>& inputs, const std::string& output,
                      const std::function<bool(uint64_t, uint64_t)>& progress, std::string& error)
{
    GCabCabinet* cabinet = gcab_cabinet_new();
    GCancellable* cancellable = g_cancellable_new();
    GError* gerror = nullptr;
    bool ok = true;
    GCabFolder* folder = nullptr;
    uint64_t inFolder = 0;
    for (const Input& input : inputs) {
        if (!folder || inFolder + input.size > kFolderLimit) {
            if (folder) {
                ok = gcab_cabinet_add_folder(cabinet, folder, &gerror);
                g_object_unref(folder);
                folder = nullptr;
                if (!ok) {
                    error = takeError(gerror, "cannot add a folder");
                    break;
                }
            }
            folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
            inFolder = 0;
        }
        GFile* file = g_file_new_for_path(input.path.c_str());
        GCabFile* cabFile = gcab_file_new_with_file(input.name.c_str(), file);
        ok = gcab_folder_add_file(folder, cabFile, FALSE, cancellable, &gerror);
        g_object_unref(cabFile);
        g_object_unref(file);
        if (!ok) {
            error = input.path + ": " + takeError(gerror, "cannot add the file");
            break;
        }
        inFolder += input.size;
    }
    if (ok && folder) {
        ok = gcab_cabinet_add_folder(cabinet, folder, &gerror);
        if (!ok)
            error = takeError(gerror, "cannot add a folder");
    }
    if (folder)
        g_object_unref(folder);
    if (ok) {
        // libgcab seeks back to fill in the header, so the stream must be seekable.
        GFile* target = g_file_new_for_path(output.c_str());
        GFileIOStream* io = g_file_open_readwrite(target, cancellable, &gerror);
        g_object_unref(target);
        if (!io) {
            ok = false;
            error = takeError(gerror, "cannot open the output");
        } else {
            GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(io));
            ProgressContext context{&progress, cancellable, 0, inputs.size()};
            ok = gcab_cabinet_write(cabinet, out, onFile, nullptr, &context, cancellable, &gerror);
            if (!ok)
                error = g_cancellable_is_cancelled(cancellable) ? std::string("cancelled")
                                                                : takeError(gerror, "cannot write");
            g_clear_error(&gerror);
            if (!g_io_stream_close(G_IO_STREAM(io), nullptr, &gerror) && ok) {
                ok = false;
                error = takeError(gerror, "cannot close the output");
            }
            g_clear_error(&gerror);
            g_object_unref(io);
        }
    }
    g_object_unref(cancellable);
    g_object_unref(cabinet);
    return ok;
}

} // namespace archiver
