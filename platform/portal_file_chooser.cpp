// The file chooser portal over GDBus: the OpenFile or SaveFile call, then the Response signal of
// its request object, waited for on a main context of our own while the game window repaints.
#include "platform/portal_file_chooser.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dialog_paths.h"

namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kChooserInterface = "org.freedesktop.portal.FileChooser";
constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
// How long the portal may take to answer the call itself (not the player's choice): starting the
// portal service on demand can take a few seconds.
constexpr int kCallTimeoutMs = 10000;
constexpr int kWaitSliceUs = 10000;

bool portalMissing = false;

// The session bus's address, without GLib's X11 autolaunch: a game must not start a bus of its
// own behind the player's back. Empty when there is none.
std::string sessionBusAddress() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address)
        return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        const std::string socket = std::string(runtime) + "/bus";
        if (::access(socket.c_str(), F_OK) == 0) {
            gchar* escaped = g_dbus_address_escape_value(socket.c_str());
            std::string result = std::string("unix:path=") + escaped;
            g_free(escaped);
            return result;
        }
    }
    return {};
}

// Owns a GLib reference or allocation for one scope.
template <typename T, void (*Free)(T*)>
class Owned {
  public:
    explicit Owned(T* p = nullptr) : p_(p) {}
    ~Owned() {
        if (p_)
            Free(p_);
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    T* get() const { return p_; }
    T** out() { return &p_; }

  private:
    T* p_;
};

void unrefObject(GObject* object) {
    g_object_unref(object);
}

struct Exchange {
    bool callDone = false;
    bool responded = false;
    std::string handle;
    std::string callError;
    bool callUnavailable = false;
    guint32 response = 2;
    std::string uri;
};

void onResponse(GDBusConnection*, const gchar*, const gchar* objectPath, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
    auto* exchange = static_cast<Exchange*>(data);
    // Only the answer to this call's request counts.
    if (!exchange->handle.empty() && exchange->handle != objectPath)
        return;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})")))
        return;
    guint32 response = 2;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    exchange->response = response;
    const gchar** uris = nullptr;
    if (g_variant_lookup(results, "uris", "^a&s", &uris) && uris) {
        if (uris[0])
            exchange->uri = uris[0];
        g_free(uris);
    }
    g_variant_unref(results);
    exchange->responded = true;
}

void onCallDone(GObject* source, GAsyncResult* result, gpointer data) {
    auto* exchange = static_cast<Exchange*>(data);
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
    exchange->callDone = true;
    if (!reply) {
        exchange->callError = error ? error->message : "no answer";
        // No portal, or one without a file chooser: the next chooser is tried.
        exchange->callUnavailable =
            error && (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT) ||
                      g_error_matches(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT));
        if (error)
            g_error_free(error);
        return;
    }
    const gchar* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    exchange->handle = handle ? handle : "";
    g_variant_unref(reply);
}

// The filter list a(sa(us)): one filter with its glob pattern (kind 0).
GVariant* filterVariant(const FileDialog& dialog) {
    const std::string name = dialog.filterName.empty() ? dialog.filterPattern : dialog.filterName;
    return g_variant_new("(s@a(us))", name.c_str(),
                         g_variant_new_parsed("[(uint32 0, %s)]", dialog.filterPattern.c_str()));
}

GVariant* options(const FileDialog& dialog, bool save, const std::string& token) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&builder, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&builder, "{sv}", "modal", g_variant_new_boolean(TRUE));
    if (!dialog.filterPattern.empty()) {
        GVariant* filter = g_variant_ref_sink(filterVariant(dialog));
        g_variant_builder_add(&builder, "{sv}", "filters",
                              g_variant_new_array(G_VARIANT_TYPE("(sa(us))"), &filter, 1));
        g_variant_builder_add(&builder, "{sv}", "current_filter", filter);
        g_variant_unref(filter);
    }
    // Paths are byte strings with their terminating zero.
    if (!dialog.folder.empty())
        g_variant_builder_add(&builder, "{sv}", "current_folder",
                              g_variant_new_bytestring(dialog.folder.c_str()));
    if (save && !dialog.proposedName.empty())
        g_variant_builder_add(&builder, "{sv}", "current_name",
                              g_variant_new_string(dialog.proposedName.c_str()));
    return g_variant_builder_end(&builder);
}

// The request object's path the portal will use: the caller's unique name without its ':' and
// with '.' turned into '_', then the token.
std::string requestPath(GDBusConnection* bus, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus);
    if (!sender.empty() && sender.front() == ':')
        sender.erase(0, 1);
    for (char& c : sender)
        if (c == '.')
            c = '_';
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

void closeRequest(GDBusConnection* bus, const std::string& handle) {
    if (handle.empty())
        return;
    GVariant* reply = g_dbus_connection_call_sync(bus, kPortalName, handle.c_str(),
                                                  kRequestInterface, "Close", nullptr, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (reply)
        g_variant_unref(reply);
}

// Runs the call and waits for its answer on `context`, the thread's default while it runs.
ChooserOutcome ask(GMainContext* context, const FileDialog& dialog, bool save,
                   const std::string& parentWindow, std::string& path,
                   const KeepWaiting& keepWaiting) {
    const std::string address = sessionBusAddress();
    if (address.empty())
        return ChooserOutcome::Unavailable;
    GError* error = nullptr;
    Owned<GObject, unrefObject> connection(G_OBJECT(g_dbus_connection_new_for_address_sync(
        address.c_str(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error)));
    if (!connection.get()) {
        std::fprintf(stderr, "Dravik: no session bus for the file chooser portal: %s\n",
                     error ? error->message : "unknown error");
        if (error)
            g_error_free(error);
        return ChooserOutcome::Unavailable;
    }
    GDBusConnection* bus = G_DBUS_CONNECTION(connection.get());
    g_dbus_connection_set_exit_on_close(bus, FALSE);

    static unsigned serial = 0;
    const std::string token =
        "dravik" + std::to_string(::getpid()) + "_" + std::to_string(serial++);
    Exchange exchange;
    exchange.handle = requestPath(bus, token);
    // Subscribed before the call, so that a quick answer is not missed.
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, nullptr, kRequestInterface, "Response", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        onResponse, &exchange, nullptr);

    Owned<GObject, unrefObject> cancellable(G_OBJECT(g_cancellable_new()));
    g_dbus_connection_call(bus, kPortalName, kPortalPath, kChooserInterface,
                           save ? "SaveFile" : "OpenFile",
                           g_variant_new("(ss@a{sv})", parentWindow.c_str(), dialog.title.c_str(),
                                         options(dialog, save, token)),
                           G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                           G_CANCELLABLE(cancellable.get()), onCallDone, &exchange);

    bool interrupted = false;
    while (!exchange.responded && !(exchange.callDone && !exchange.callError.empty())) {
        while (g_main_context_iteration(context, FALSE)) {
        }
        if (exchange.responded || (exchange.callDone && !exchange.callError.empty()))
            break;
        if (keepWaiting) {
            if (!keepWaiting()) {
                interrupted = true;
                break;
            }
        }
        ::usleep(kWaitSliceUs);
    }
    if (interrupted) {
        g_cancellable_cancel(G_CANCELLABLE(cancellable.get()));
        if (exchange.callDone)
            closeRequest(bus, exchange.handle);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    // Let the cancelled call's callback run before `exchange` goes away.
    while (!exchange.callDone) g_main_context_iteration(context, TRUE);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);

    if (interrupted)
        return ChooserOutcome::Interrupted;
    if (!exchange.callError.empty()) {
        std::fprintf(stderr, "Dravik: the desktop's file chooser portal cannot be used: %s\n",
                     exchange.callError.c_str());
        if (exchange.callUnavailable) {
            portalMissing = true;
            return ChooserOutcome::Unavailable;
        }
        return ChooserOutcome::Cancelled;
    }
    // 0: chosen; 1: cancelled by the player; 2: the dialog ended some other way.
    if (exchange.response != 0 || exchange.uri.empty())
        return ChooserOutcome::Cancelled;
    gchar* filename = g_filename_from_uri(exchange.uri.c_str(), nullptr, nullptr);
    if (!filename) {
        std::fprintf(stderr, "Dravik: the file chooser portal answered with %s, not a local file\n",
                     exchange.uri.c_str());
        return ChooserOutcome::Cancelled;
    }
    const std::string chosen = filename;
    g_free(filename);
    if (!save) {
        if (dialog.mustExist && !isExistingFile(chosen)) {
            std::fprintf(stderr, "Dravik: %s is not an existing file\n", chosen.c_str());
            return ChooserOutcome::Cancelled;
        }
        path = chosen;
        return ChooserOutcome::Chosen;
    }
    path = chosen;
    return ChooserOutcome::Chosen;
}

}  // namespace

void resetPortalAvailability() {
    portalMissing = false;
}

ChooserOutcome portalChooseFile(const FileDialog& dialog, bool save,
                                const std::string& parentWindow, std::string& path,
                                const KeepWaiting& keepWaiting) {
    if (portalMissing)
        return ChooserOutcome::Unavailable;
    for (;;) {
        // A context of our own: nothing else of GLib's runs while the game waits here.
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        std::string chosen;
        const ChooserOutcome outcome =
            ask(context, dialog, save, parentWindow, chosen, keepWaiting);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
        if (outcome != ChooserOutcome::Chosen)
            return outcome;
        if (!save) {
            path = chosen;
            return outcome;
        }
        // The portal's dialog asked about the name it returned; one the extension changes is
        // asked about here.
        switch (finishSaveName(dialog, chosen, path, keepWaiting, parentWindow)) {
            case HelperStatus::Accepted:
                return ChooserOutcome::Chosen;
            case HelperStatus::Declined:
                continue;
            case HelperStatus::Interrupted:
                return ChooserOutcome::Interrupted;
            default:
                return ChooserOutcome::Cancelled;
        }
    }
}
