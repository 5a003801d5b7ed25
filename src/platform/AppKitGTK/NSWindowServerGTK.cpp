#include "NSWindowServerGTK.h"

#include <gdk/x11/gdkx.h>
#include <gtk/gtk.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "CGColorSpace.h"
#include "CGContext.h"
#include "NSAlert.h"
#include "NSApplication.h"
#include "NSWindow.h"

namespace {

// One step of a mouse wheel moves the content this far.
constexpr double kPointsPerWheelStep = 40.0;

NSEventModifierFlags modifierFlagsOf(GdkModifierType state) {
    NSEventModifierFlags flags = 0;
    if (state & GDK_SHIFT_MASK) flags |= NSEventModifierFlagShift;
    if (state & GDK_CONTROL_MASK) flags |= NSEventModifierFlagCommand;
    if (state & GDK_ALT_MASK) flags |= NSEventModifierFlagOption;
    return flags;
}

// AppKit's characters for the keys the editor reads: the arrows are its function-key code points.
std::string charactersOfKey(guint keyval) {
    switch (keyval) {
        case GDK_KEY_Escape:
            return "\x1b";
        case GDK_KEY_Up:
            return "\xef\x9c\x80";  // U+F700
        case GDK_KEY_Down:
            return "\xef\x9c\x81";  // U+F701
        case GDK_KEY_Left:
            return "\xef\x9c\x82";  // U+F702
        case GDK_KEY_Right:
            return "\xef\x9c\x83";  // U+F703
        case GDK_KEY_KP_Add:
            return "+";
        case GDK_KEY_KP_Subtract:
            return "-";
        default:
            break;
    }
    const gunichar character = gdk_keyval_to_unicode(keyval);
    if (character == 0) return {};
    char utf8[8] = {};
    g_unichar_to_utf8(character, utf8);
    return utf8;
}

// The main monitor's lower edge in GDK's coordinates (y downwards), where AppKit's y = 0 lies.
double mainScreenBottom(GdkDisplay* display) {
    GListModel* monitors = gdk_display_get_monitors(display);
    auto* main = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, 0));
    if (!main) return 0;
    GdkRectangle geometry;
    gdk_monitor_get_geometry(main, &geometry);
    g_object_unref(main);
    return geometry.y + geometry.height;
}

}  // namespace

struct NSWindowServerGTK::ShownWindow {
    std::weak_ptr<NSWindow> window;
    GtkWidget* gtkWindow = nullptr;
    GtkWidget* area = nullptr;
    CGContextRef backing;
    CGPoint lastPointer{};
    double pinchScale = 1.0;

    // A point of the window's surface in the window's own coordinates (y upwards).
    CGPoint windowPoint(double surfaceX, double surfaceY) const {
        double nativeX = 0, nativeY = 0;
        gtk_native_get_surface_transform(GTK_NATIVE(gtkWindow), &nativeX, &nativeY);
        double x = 0, y = 0;
        gtk_widget_translate_coordinates(gtkWindow, area, surfaceX - nativeX, surfaceY - nativeY,
                                         &x, &y);
        return CGPointMake(x, gtk_widget_get_height(area) - y);
    }
};

namespace {

using ShownWindow = NSWindowServerGTK::ShownWindow;

void post(const std::shared_ptr<NSEvent>& event) {
    NSApplication::sharedApplication().postEvent_atStart(event, false);
}

void postPointerEvent(ShownWindow& shown, const std::shared_ptr<NSWindow>& window,
                      GdkEvent* event) {
    double x = 0, y = 0;
    if (!gdk_event_get_position(event, &x, &y)) return;
    const CGPoint location = shown.windowPoint(x, y);
    const GdkModifierType state = gdk_event_get_modifier_state(event);
    const NSEventModifierFlags flags = modifierFlagsOf(state);
    const GdkEventType type = gdk_event_get_event_type(event);
    if (type == GDK_BUTTON_PRESS || type == GDK_BUTTON_RELEASE) {
        const guint button = gdk_button_event_get_button(event);
        const bool press = type == GDK_BUTTON_PRESS;
        NSEventType kind;
        if (button == GDK_BUTTON_PRIMARY)
            kind = press ? NSEventTypeLeftMouseDown : NSEventTypeLeftMouseUp;
        else if (button == GDK_BUTTON_SECONDARY)
            kind = press ? NSEventTypeRightMouseDown : NSEventTypeRightMouseUp;
        else
            return;
        shown.lastPointer = location;
        post(NSEvent::mouseEventWithType(kind, location, flags, window));
        return;
    }
    // Motion: deltas in screen points, y downwards.
    const double dx = location.x - shown.lastPointer.x;
    const double dy = shown.lastPointer.y - location.y;
    shown.lastPointer = location;
    NSEventType kind = NSEventTypeMouseMoved;
    if (state & GDK_BUTTON1_MASK)
        kind = NSEventTypeLeftMouseDragged;
    else if (state & GDK_BUTTON3_MASK)
        kind = NSEventTypeRightMouseDragged;
    post(NSEvent::mouseEventWithType(kind, location, flags, window, dx, dy));
}

void postScrollEvent(ShownWindow& shown, const std::shared_ptr<NSWindow>& window, GdkEvent* event) {
    double dx = 0, dy = 0;
    switch (gdk_scroll_event_get_direction(event)) {
        case GDK_SCROLL_UP:
            dy = -1;
            break;
        case GDK_SCROLL_DOWN:
            dy = 1;
            break;
        case GDK_SCROLL_LEFT:
            dx = -1;
            break;
        case GDK_SCROLL_RIGHT:
            dx = 1;
            break;
        case GDK_SCROLL_SMOOTH:
            gdk_scroll_event_get_deltas(event, &dx, &dy);
            break;
    }
    double x = 0, y = 0;
    const CGPoint location =
        gdk_event_get_position(event, &x, &y) ? shown.windowPoint(x, y) : shown.lastPointer;
    post(NSEvent::scrollEventWithDeltas(
        location, -dx * kPointsPerWheelStep, -dy * kPointsPerWheelStep,
        modifierFlagsOf(gdk_event_get_modifier_state(event)), window));
}

void postPinchEvent(ShownWindow& shown, const std::shared_ptr<NSWindow>& window, GdkEvent* event) {
    const GdkTouchpadGesturePhase phase = gdk_touchpad_event_get_gesture_phase(event);
    const double scale = gdk_touchpad_event_get_pinch_scale(event);
    if (phase == GDK_TOUCHPAD_GESTURE_PHASE_BEGIN) shown.pinchScale = 1.0;
    if (phase == GDK_TOUCHPAD_GESTURE_PHASE_UPDATE && shown.pinchScale > 0 && scale > 0)
        post(NSEvent::magnifyEvent(shown.lastPointer, scale / shown.pinchScale - 1, window));
    shown.pinchScale = scale;
}

gboolean onInputEvent(GtkEventControllerLegacy*, GdkEvent* event, gpointer data) {
    auto& shown = *static_cast<ShownWindow*>(data);
    const auto window = shown.window.lock();
    if (!window) return FALSE;
    switch (gdk_event_get_event_type(event)) {
        case GDK_BUTTON_PRESS:
        case GDK_BUTTON_RELEASE:
        case GDK_MOTION_NOTIFY:
            postPointerEvent(shown, window, event);
            return TRUE;
        case GDK_SCROLL:
            postScrollEvent(shown, window, event);
            return TRUE;
        case GDK_TOUCHPAD_PINCH:
            postPinchEvent(shown, window, event);
            return TRUE;
        case GDK_KEY_PRESS: {
            const std::string characters = charactersOfKey(gdk_key_event_get_keyval(event));
            if (characters.empty()) return FALSE;
            post(NSEvent::keyEventWithCharacters(
                characters, modifierFlagsOf(gdk_event_get_modifier_state(event)), window));
            return TRUE;
        }
        default:
            return FALSE;
    }
}

void drawWindow(GtkDrawingArea* area, cairo_t* cr, int width, int height, gpointer data) {
    auto& shown = *static_cast<ShownWindow*>(data);
    const auto window = shown.window.lock();
    if (!window || width <= 0 || height <= 0) return;
    const int scale = gtk_widget_get_scale_factor(GTK_WIDGET(area));
    const auto pixelsWide = static_cast<size_t>(width) * scale;
    const auto pixelsHigh = static_cast<size_t>(height) * scale;
    if (!shown.backing || CGBitmapContextGetWidth(shown.backing) != pixelsWide ||
        CGBitmapContextGetHeight(shown.backing) != pixelsHigh) {
        // cairo's own pixel format, so the pixels reach GTK without conversion.
        shown.backing = CGBitmapContextCreate(
            nullptr, pixelsWide, pixelsHigh, 8, 0, CGColorSpaceCreateWithName(kCGColorSpaceSRGB),
            kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
        if (!shown.backing) return;
    }
    std::memset(CGBitmapContextGetData(shown.backing), 0,
                CGBitmapContextGetBytesPerRow(shown.backing) * pixelsHigh);
    CGContextSaveGState(shown.backing);
    CGContextScaleCTM(shown.backing, scale, scale);
    window->displayInContext(shown.backing);
    CGContextRestoreGState(shown.backing);

    cairo_surface_t* pixels = cairo_image_surface_create_for_data(
        static_cast<unsigned char*>(CGBitmapContextGetData(shown.backing)), CAIRO_FORMAT_ARGB32,
        static_cast<int>(pixelsWide), static_cast<int>(pixelsHigh),
        static_cast<int>(CGBitmapContextGetBytesPerRow(shown.backing)));
    cairo_surface_set_device_scale(pixels, scale, scale);
    cairo_set_source_surface(cr, pixels, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(pixels);
}

void onResize(GtkDrawingArea*, int width, int height, gpointer data) {
    auto& shown = *static_cast<ShownWindow*>(data);
    const auto window = shown.window.lock();
    if (!window) return;
    CGRect frame = window->frame();
    frame.size = CGSizeMake(width, height);
    window->windowServerDidPlace(frame);
}

gboolean onCloseRequest(GtkWindow*, gpointer data) {
    auto& shown = *static_cast<ShownWindow*>(data);
    if (const auto window = shown.window.lock()) window->close();
    NSApplication& application = NSApplication::sharedApplication();
    if (application.windows().empty()) application.stop();
    return TRUE;
}

void onActiveChanged(GObject* gtkWindow, GParamSpec*, gpointer data) {
    auto& shown = *static_cast<ShownWindow*>(data);
    const auto window = shown.window.lock();
    if (!window || gtk_window_is_active(GTK_WINDOW(gtkWindow))) return;
    // A tracking loop ends when the user turns to another application.
    post(NSEvent::otherEventWithType(NSEventTypeAppKitDefined, NSEventSubtypeApplicationDeactivated,
                                     window));
}

// AppKit's cursor names to the desktop's (CSS names).
const char* cursorNameFor(const std::string& name) {
    if (name == "closedHandCursor") return "grabbing";
    if (name == "openHandCursor") return "grab";
    if (name == "crosshairCursor") return "crosshair";
    return "default";
}

bool settingsSchemaHasKey(const char* schemaName, const char* key) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return false;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, schemaName, TRUE);
    if (!schema) return false;
    const bool has = g_settings_schema_has_key(schema, key);
    g_settings_schema_unref(schema);
    return has;
}

}  // namespace

std::shared_ptr<NSWindowServerGTK> NSWindowServerGTK::open() {
    // Desktops match a window to its program's desktop entry by the window's class, which GTK
    // takes from the program's name; GTK 4 is never told that name unless the program says it.
    if (!g_get_prgname()) g_set_prgname(program_invocation_short_name);
    if (!gtk_init_check()) return nullptr;
    return std::shared_ptr<NSWindowServerGTK>(new NSWindowServerGTK());
}

NSWindowServerGTK::~NSWindowServerGTK() {
    for (auto& [window, shown] : windows_) gtk_window_destroy(GTK_WINDOW(shown->gtkWindow));
}

NSWindowServerGTK::ShownWindow* NSWindowServerGTK::shown(const NSWindow& window) const {
    const auto found = windows_.find(&window);
    return found == windows_.end() ? nullptr : found->second.get();
}

std::vector<CGRect> NSWindowServerGTK::screenFrames() const {
    std::vector<CGRect> frames;
    GdkDisplay* display = gdk_display_get_default();
    if (!display) return frames;
    const double bottom = mainScreenBottom(display);
    GListModel* monitors = gdk_display_get_monitors(display);
    for (guint i = 0; i < g_list_model_get_n_items(monitors); ++i) {
        auto* monitor = static_cast<GdkMonitor*>(g_list_model_get_item(monitors, i));
        GdkRectangle geometry;
        gdk_monitor_get_geometry(monitor, &geometry);
        g_object_unref(monitor);
        frames.push_back(CGRectMake(geometry.x, bottom - (geometry.y + geometry.height),
                                    geometry.width, geometry.height));
    }
    return frames;
}

CGFloat NSWindowServerGTK::backingScaleFactor() const {
    GdkDisplay* display = gdk_display_get_default();
    GListModel* monitors = display ? gdk_display_get_monitors(display) : nullptr;
    auto* main = monitors ? static_cast<GdkMonitor*>(g_list_model_get_item(monitors, 0)) : nullptr;
    if (!main) return 1.0;
    const int scale = gdk_monitor_get_scale_factor(main);
    g_object_unref(main);
    return scale;
}

void NSWindowServerGTK::orderFront(NSWindow& window) {
    if (ShownWindow* already = shown(window)) {
        gtk_window_present(GTK_WINDOW(already->gtkWindow));
        return;
    }
    auto made = std::make_unique<ShownWindow>();
    ShownWindow& shownWindow = *made;
    shownWindow.window = std::static_pointer_cast<NSWindow>(window.shared_from_this());
    shownWindow.gtkWindow = gtk_window_new();
    shownWindow.area = gtk_drawing_area_new();
    const CGRect frame = window.frame();
    gtk_window_set_default_size(GTK_WINDOW(shownWindow.gtkWindow),
                                static_cast<int>(frame.size.width),
                                static_cast<int>(frame.size.height));
    gtk_window_set_title(GTK_WINDOW(shownWindow.gtkWindow), window.title().c_str());
    gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(shownWindow.area), drawWindow, &shownWindow,
                                   nullptr);
    gtk_widget_set_cursor_from_name(shownWindow.area, cursorName_.c_str());
    gtk_window_set_child(GTK_WINDOW(shownWindow.gtkWindow), shownWindow.area);

    GtkEventController* input = gtk_event_controller_legacy_new();
    g_signal_connect(input, "event", G_CALLBACK(onInputEvent), &shownWindow);
    gtk_widget_add_controller(shownWindow.gtkWindow, input);
    g_signal_connect(shownWindow.area, "resize", G_CALLBACK(onResize), &shownWindow);
    g_signal_connect(shownWindow.gtkWindow, "close-request", G_CALLBACK(onCloseRequest),
                     &shownWindow);
    g_signal_connect(shownWindow.gtkWindow, "notify::is-active", G_CALLBACK(onActiveChanged),
                     &shownWindow);
    windows_.emplace(&window, std::move(made));
    gtk_window_present(GTK_WINDOW(shownWindow.gtkWindow));
}

void NSWindowServerGTK::close(NSWindow& window) {
    const auto found = windows_.find(&window);
    if (found == windows_.end()) return;
    // The GTK window goes first: its signals point at the record.
    gtk_window_destroy(GTK_WINDOW(found->second->gtkWindow));
    windows_.erase(found);
}

void NSWindowServerGTK::setTitle(NSWindow& window, const std::string& title) {
    if (ShownWindow* shownWindow = shown(window))
        gtk_window_set_title(GTK_WINDOW(shownWindow->gtkWindow), title.c_str());
}

void NSWindowServerGTK::setNeedsDisplay(NSWindow& window) {
    if (ShownWindow* shownWindow = shown(window)) gtk_widget_queue_draw(shownWindow->area);
}

std::optional<CGRect> NSWindowServerGTK::frameOfWindow(const NSWindow& window) const {
    ShownWindow* shownWindow = shown(window);
    if (!shownWindow || !gtk_widget_get_realized(shownWindow->area)) return std::nullopt;
    const double width = gtk_widget_get_width(shownWindow->area);
    const double height = gtk_widget_get_height(shownWindow->area);
    // The content's top-left corner on the surface, then the surface's on the root window. Only
    // X11 tells where a window is; elsewhere it counts as at the main screen's top-left corner.
    double x = 0, y = 0;
    gtk_native_get_surface_transform(GTK_NATIVE(shownWindow->gtkWindow), &x, &y);
    double areaX = 0, areaY = 0;
    gtk_widget_translate_coordinates(shownWindow->area, shownWindow->gtkWindow, 0, 0, &areaX,
                                     &areaY);
    x += areaX;
    y += areaY;
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(shownWindow->gtkWindow));
    GdkDisplay* display = gdk_surface_get_display(surface);
    if (GDK_IS_X11_SURFACE(surface)) {
        Display* xdisplay = gdk_x11_display_get_xdisplay(display);
        int rootX = 0, rootY = 0;
        Window child = 0;
        XTranslateCoordinates(xdisplay, gdk_x11_surface_get_xid(surface),
                              DefaultRootWindow(xdisplay), 0, 0, &rootX, &rootY, &child);
        x += rootX;
        y += rootY;
    }
    return CGRectMake(x, mainScreenBottom(display) - (y + height), width, height);
}

void NSWindowServerGTK::showCursor(const std::string& name) {
    cursorName_ = cursorNameFor(name);
    for (auto& [window, shownWindow] : windows_)
        gtk_widget_set_cursor_from_name(shownWindow->area, cursorName_.c_str());
}

NSModalResponse NSWindowServerGTK::runAlert(const NSAlert& alert, NSWindow* sheetParent) {
    ShownWindow* parent = sheetParent ? shown(*sheetParent) : nullptr;
    GtkWidget* dialog = gtk_message_dialog_new(
        parent ? GTK_WINDOW(parent->gtkWindow) : nullptr,
        static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
        GTK_MESSAGE_WARNING, GTK_BUTTONS_NONE, "%s", alert.messageText.c_str());
    if (!alert.informativeText.empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s",
                                                 alert.informativeText.c_str());
    std::vector<std::string> titles = alert.buttonTitles();
    if (titles.empty()) titles.push_back("OK");
    for (size_t i = 0; i < titles.size(); ++i)
        gtk_dialog_add_button(GTK_DIALOG(dialog), titles[i].c_str(),
                              static_cast<int>(NSAlertFirstButtonReturn + i));

    int response = 0;
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, int id, gpointer answer) {
                         *static_cast<int*>(answer) = id;
                     }),
                     &response);
    gtk_window_present(GTK_WINDOW(dialog));
    while (response == 0) g_main_context_iteration(nullptr, TRUE);
    gtk_window_destroy(GTK_WINDOW(dialog));
    // Closing the dialog without a button counts as its first button, the one that dismisses it.
    return response >= NSAlertFirstButtonReturn ? response : NSAlertFirstButtonReturn;
}

bool NSWindowServerGTK::prefersDarkAppearance() const {
    GtkSettings* settings = gtk_settings_get_default();
    if (settings) {
        gboolean preferDark = FALSE;
        gchar* theme = nullptr;
        g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name",
                     &theme, nullptr);
        const bool darkTheme =
            theme && (g_str_has_suffix(theme, "-dark") || g_str_has_suffix(theme, ":dark"));
        g_free(theme);
        if (preferDark || darkTheme) return true;
    }
    // The desktop's own setting (GNOME and the desktops that share its settings).
    if (!settingsSchemaHasKey("org.gnome.desktop.interface", "color-scheme")) return false;
    GSettings* desktop = g_settings_new("org.gnome.desktop.interface");
    gchar* scheme = g_settings_get_string(desktop, "color-scheme");
    const bool dark = scheme && std::strcmp(scheme, "prefer-dark") == 0;
    g_free(scheme);
    g_object_unref(desktop);
    return dark;
}

bool NSWindowServerGTK::waitForInputBeforeDate(NSRunLoopDate date) {
    if (date == NSRunLoopDistantFuture) {
        g_main_context_iteration(nullptr, TRUE);
        return true;
    }
    const auto left =
        std::chrono::duration<double, std::milli>(date - NSRunLoopClock::now()).count();
    if (left <= 0) {
        g_main_context_iteration(nullptr, FALSE);
        return true;
    }
    bool woken = false;
    const guint timer = g_timeout_add(
        static_cast<guint>(std::ceil(left)),
        +[](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &woken);
    g_main_context_iteration(nullptr, TRUE);
    if (!woken) g_source_remove(timer);
    return true;
}
