#include "platform/shell/GioApps.h"

#include "base/NativePath.h"
#include "platform/Shell.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <cstring>
#include <sys/wait.h>
#include <thread>

namespace platform::gio
{

namespace
{

QString fromUtf8(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// Owns one GObject reference.
template <typename T> class Ref
{
public:
    explicit Ref(T* object = nullptr) : m_object(object) {}
    ~Ref()
    {
        if (m_object)
            g_object_unref(m_object);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* get() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T* m_object;
};

QString takeError(GError* error)
{
    if (!error)
        return QString();
    const QString text = fromUtf8(error->message);
    g_error_free(error);
    return text;
}

GAppInfo* defaultForPath(const QString& path, QString* type = nullptr)
{
    const QString content = contentType(path);
    if (type)
        *type = content;
    if (content.isEmpty())
        return nullptr;
    return g_app_info_get_default_for_type(content.toUtf8().constData(), FALSE);
}

bool launchOn(GAppInfo* app, const QString& path, QString& reason)
{
    Ref<GFile> file(g_file_new_for_path(toNativePath(path).constData()));
    GList files = {file.get(), nullptr, nullptr};
    Ref<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    if (g_app_info_launch(app, &files, context.get(), &error))
        return true;
    reason = takeError(error);
    return false;
}

void onLaunched(GAppLaunchContext*, GAppInfo*, GVariant* platformData, gpointer pid)
{
    gint32 value = 0;
    if (platformData && g_variant_lookup(platformData, "pid", "i", &value))
        *static_cast<qint64*>(pid) = value;
}

void onSpawned(GDesktopAppInfo*, GPid pid, gpointer result)
{
    *static_cast<qint64*>(result) = pid;
}

} // namespace

bool isAddress(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return !text.startsWith(QLatin1Char('/')) && scheme.match(text).hasMatch();
}

QString contentType(const QString& path)
{
    Ref<GFile> file(g_file_new_for_path(toNativePath(path).constData()));
    GError* error = nullptr;
    Ref<GFileInfo> info(g_file_query_info(file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                          G_FILE_QUERY_INFO_NONE, nullptr, &error));
    if (!info) {
        takeError(error);
        return QString();
    }
    return fromUtf8(g_file_info_get_content_type(info.get()));
}

QString typeDescription(const QString& type)
{
    gchar* text = g_content_type_get_description(type.toUtf8().constData());
    const QString description = fromUtf8(text);
    g_free(text);
    return description;
}

int openPath(const QString& path, QString* reason)
{
    Ref<GAppInfo> app(defaultForPath(path));
    if (!app)
        return Shell::kNoAssociation;
    QString why;
    if (launchOn(app.get(), path, why))
        return Shell::kOpenOk;
    if (reason)
        *reason = why;
    return Shell::kLaunchFailed;
}

int openAddress(const QString& address, QString* reason)
{
    const QByteArray uri = address.toUtf8();
    const char* schemeEnd = std::strchr(uri.constData(), ':');
    const QByteArray scheme = uri.left(schemeEnd - uri.constData()).toLower();
    if (scheme == "file") {
        gchar* path = g_filename_from_uri(uri.constData(), nullptr, nullptr);
        if (!path)
            return Shell::kFileNotFound;
        const QString local = QFile::decodeName(path);
        g_free(path);
        if (!QFile::exists(local))
            return Shell::kFileNotFound;
        return openPath(local, reason);
    }
    Ref<GAppInfo> app(g_app_info_get_default_for_uri_scheme(scheme.constData()));
    if (!app)
        return Shell::kNoAssociation;
    GList uris = {const_cast<char*>(uri.constData()), nullptr, nullptr};
    Ref<GAppLaunchContext> context(g_app_launch_context_new());
    GError* error = nullptr;
    if (g_app_info_launch_uris(app.get(), &uris, context.get(), &error))
        return Shell::kOpenOk;
    const QString why = takeError(error);
    if (reason)
        *reason = why;
    return Shell::kLaunchFailed;
}

int findDefault(const QString& path, QString& program)
{
    program.clear();
    Ref<GAppInfo> app(defaultForPath(path));
    if (!app)
        return Shell::kNoAssociation;
    const char* executable = g_app_info_get_executable(app.get());
    gchar* found = executable ? g_find_program_in_path(executable) : nullptr;
    program = found ? QFile::decodeName(found) : fromUtf8(executable);
    g_free(found);
    if (program.isEmpty())
        program = fromUtf8(g_app_info_get_id(app.get()));
    return Shell::kOpenOk;
}

QList<Application> applicationsFor(const QString& path)
{
    QList<Application> result;
    const QString type = contentType(path);
    if (type.isEmpty())
        return result;
    const auto add = [&result](GAppInfo* app) {
        const QString id = fromUtf8(g_app_info_get_id(app));
        for (const Application& known : result) {
            if (known.id == id)
                return;
        }
        result.append(
            {id, fromUtf8(g_app_info_get_name(app)), fromUtf8(g_app_info_get_commandline(app))});
    };
    // The default first: it may be named in mimeapps.list without being in the MIME cache
    // that the full list comes from.
    const QByteArray typeName = type.toUtf8();
    if (Ref<GAppInfo> preferred{g_app_info_get_default_for_type(typeName.constData(), FALSE)})
        add(preferred.get());
    GList* all = g_app_info_get_all_for_type(typeName.constData());
    for (GList* item = all; item; item = item->next)
        add(G_APP_INFO(item->data));
    g_list_free_full(all, g_object_unref);
    return result;
}

bool launchApplication(const QString& id, const QString& path, QString& reason)
{
    Ref<GDesktopAppInfo> app(g_desktop_app_info_new(id.toUtf8().constData()));
    if (!app) {
        reason = QStringLiteral("アプリケーション %1 が見つかりません。").arg(id);
        return false;
    }
    return launchOn(G_APP_INFO(app.get()), path, reason);
}

bool launchCommandLine(const QString& commandLine, const QString& path, QString& reason)
{
    GError* error = nullptr;
    Ref<GAppInfo> app(g_app_info_create_from_commandline(commandLine.toUtf8().constData(), nullptr,
                                                         G_APP_INFO_CREATE_NONE, &error));
    if (!app) {
        reason = takeError(error);
        return false;
    }
    return launchOn(app.get(), path, reason);
}

qint64 launchDefaultForType(const QString& type, const QString& path)
{
    Ref<GAppInfo> app(g_app_info_get_default_for_type(type.toUtf8().constData(), FALSE));
    if (!app)
        return 0;
    // An empty path starts the application without a file.
    gchar* uri = nullptr;
    if (!path.isEmpty()) {
        Ref<GFile> file(g_file_new_for_path(toNativePath(path).constData()));
        uri = g_file_get_uri(file.get());
    }
    GList one = {uri, nullptr, nullptr};
    GList* uris = uri ? &one : nullptr;
    Ref<GAppLaunchContext> context(g_app_launch_context_new());
    qint64 pid = 0;
    GError* error = nullptr;
    bool started = false;
    if (G_IS_DESKTOP_APP_INFO(app.get())) {
        // Spawned directly so that the process id is the editor's own; reaped by a waiter.
        started = g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(app.get()), uris, context.get(),
            GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr, nullptr,
            onSpawned, &pid, &error);
        if (started && pid > 0) {
            const pid_t child = pid_t(pid);
            std::thread([child] { ::waitpid(child, nullptr, 0); }).detach();
        }
    } else {
        g_signal_connect(context.get(), "launched", G_CALLBACK(onLaunched), &pid);
        started = g_app_info_launch_uris(app.get(), uris, context.get(), &error);
    }
    g_free(uri);
    takeError(error);
    return started ? pid : 0;
}

} // namespace platform::gio
