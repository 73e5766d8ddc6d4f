/* A program of someone else's, built against the installed library with
 * pkg-config: draws one slide of a file at its own size (or at the size
 * given) and writes it as a PAM picture, RGB_ALPHA, to standard output.
 *
 * Usage: render_rgba FILE [INDEX [WIDTH HEIGHT [smooth|white|none|drawing]...]] */
#include <qorvan/qorvan.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: render_rgba FILE [INDEX [WIDTH HEIGHT [OPTION]...]]\n");
        return 2;
    }
    qorvan_file *file = NULL;
    if (qorvan_open_path(argv[1], &file) != QORVAN_OK) {
        fprintf(stderr, "%s\n", qorvan_last_error());
        return 1;
    }
    size_t index = argc > 2 ? (size_t)strtoul(argv[2], NULL, 10) : 0;
    qorvan_slide_info info;
    memset(&info, 0, sizeof info);
    info.struct_size = sizeof info;
    if (qorvan_slide_info_get(file, index, &info) != QORVAN_OK) {
        fprintf(stderr, "%s\n", qorvan_last_error());
        qorvan_close(file);
        return 1;
    }
    int width = argc > 4 ? atoi(argv[3]) : info.width;
    int height = argc > 4 ? atoi(argv[4]) : info.height;
    qorvan_render_options options;
    qorvan_render_options_init(&options);
    for (int i = 5; i < argc; ++i) {
        if (strcmp(argv[i], "smooth") == 0) options.style = QORVAN_STYLE_SMOOTH;
        if (strcmp(argv[i], "white") == 0) options.background = QORVAN_BACKGROUND_WHITE;
        if (strcmp(argv[i], "none") == 0) options.background = QORVAN_BACKGROUND_NONE;
        if (strcmp(argv[i], "drawing") == 0) options.fit = QORVAN_FIT_DRAWING;
    }
    unsigned char *rgba = malloc((size_t)width * (size_t)height * 4);
    if (!rgba) return 1;
    int status = qorvan_render(file, index, &options, width, height, rgba, (size_t)width * 4);
    if (status != QORVAN_OK) {
        fprintf(stderr, "%s\n", qorvan_last_error());
    } else {
        printf("P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n", width, height);
        fwrite(rgba, 4, (size_t)width * (size_t)height, stdout);
    }
    free(rgba);
    qorvan_close(file);
    return status == QORVAN_OK ? 0 : 1;
}
