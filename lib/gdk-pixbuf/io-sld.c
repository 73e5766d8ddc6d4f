/* libpixbufloader-sld.so: slides and slide libraries for gdk-pixbuf, and so
 * for every GTK program, the image viewer and gdk-pixbuf-thumbnailer. A
 * library shows its first slide. Slides are drawn as the viewer draws them
 * (on black, one-pixel lines), at the size the caller asks for: a slide is
 * vectors, so a size request is drawn at that size rather than scaled. */
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

#include <qorvan/qorvan.h>

typedef struct {
    GdkPixbufModuleSizeFunc size_func;
    GdkPixbufModulePreparedFunc prepared_func;
    GdkPixbufModuleUpdatedFunc updated_func;
    gpointer user_data;
    GByteArray *bytes;
} SldContext;

static gpointer sld_begin_load(GdkPixbufModuleSizeFunc size_func, GdkPixbufModulePreparedFunc prepared_func,
    GdkPixbufModuleUpdatedFunc updated_func, gpointer user_data, GError **error)
{
    SldContext *context = g_new0(SldContext, 1);
    (void)error;
    context->size_func = size_func;
    context->prepared_func = prepared_func;
    context->updated_func = updated_func;
    context->user_data = user_data;
    context->bytes = g_byte_array_new();
    return context;
}

/* A slide is drawn from its end record back to its header's size, and a
 * library's first slide may lie anywhere, so the bytes are gathered until
 * the caller says there are no more. */
static gboolean sld_load_increment(gpointer data, const guchar *buf, guint size, GError **error)
{
    SldContext *context = data;
    (void)error;
    g_byte_array_append(context->bytes, buf, size);
    return TRUE;
}

static gboolean sld_fail(GError **error, int code, const char *message)
{
    g_set_error_literal(error, GDK_PIXBUF_ERROR, code, message);
    return FALSE;
}

static gboolean sld_draw(SldContext *context, GError **error)
{
    qorvan_file *file = NULL;
    qorvan_slide_info info;
    qorvan_status status;
    GdkPixbuf *pixbuf;
    int width, height;
    if (qorvan_open_memory(context->bytes->data, context->bytes->len, "file", &file) != QORVAN_OK)
        return sld_fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, qorvan_last_error());
    info.struct_size = sizeof info;
    if (qorvan_slide_info_get(file, 0, &info) != QORVAN_OK) {
        gboolean r = sld_fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, qorvan_last_error());
        qorvan_close(file);
        return r;
    }
    width = info.width;
    height = info.height;
    if (context->size_func) context->size_func(&width, &height, context->user_data);
    /* A size of nothing asks for the size alone (gdk_pixbuf_get_file_info). */
    if (width <= 0 || height <= 0) {
        qorvan_close(file);
        return TRUE;
    }
    pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
    if (!pixbuf) {
        qorvan_close(file);
        return sld_fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the picture");
    }
    status = qorvan_render(file, 0, NULL, width, height, gdk_pixbuf_get_pixels(pixbuf),
        (size_t)gdk_pixbuf_get_rowstride(pixbuf));
    qorvan_close(file);
    if (status != QORVAN_OK) {
        gboolean r = sld_fail(error,
            status == QORVAN_ERROR_MEMORY ? GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY : GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
            qorvan_last_error());
        g_object_unref(pixbuf);
        return r;
    }
    if (context->prepared_func) context->prepared_func(pixbuf, NULL, context->user_data);
    if (context->updated_func) context->updated_func(pixbuf, 0, 0, width, height, context->user_data);
    g_object_unref(pixbuf);
    return TRUE;
}

static gboolean sld_stop_load(gpointer data, GError **error)
{
    SldContext *context = data;
    gboolean ok = sld_draw(context, error);
    g_byte_array_unref(context->bytes);
    g_free(context);
    return ok;
}

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule *module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat *info);

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule *module)
{
    module->begin_load = sld_begin_load;
    module->stop_load = sld_stop_load;
    module->load_increment = sld_load_increment;
}

G_MODULE_EXPORT void fill_info(GdkPixbufFormat *info)
{
    static GdkPixbufModulePattern signature[] = {
        { (gchar *)"AutoCAD Slide\r\n\x1a", NULL, 100 },
        { (gchar *)"AutoCAD Slide Library 1.0\r\n\x1a", NULL, 100 },
        { NULL, NULL, 0 },
    };
    static gchar *mime_types[] = {
        (gchar *)"image/vnd.sld",
        (gchar *)"image/x-sld",
        (gchar *)"application/x-sld",
        (gchar *)"application/x-autocad-slide-library",
        NULL,
    };
    static gchar *extensions[] = { (gchar *)"sld", (gchar *)"slb", NULL };
    info->name = (gchar *)"sld";
    info->signature = signature;
    info->description = (gchar *)"AutoCAD slide";
    info->mime_types = mime_types;
    info->extensions = extensions;
    info->flags = GDK_PIXBUF_FORMAT_SCALABLE | GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = (gchar *)"MIT";
}
