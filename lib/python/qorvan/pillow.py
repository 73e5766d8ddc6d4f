"""Pillow's plugin for slides and slide libraries, registered when qorvan is
imported: Image.open("x.sld"), and Image.open("lib.slb") with the library's
slides as frames (n_frames, seek). Slides are drawn as the viewer draws
them, on black; draft() and thumbnail() draw at the size asked for rather
than scaling pixels."""
from PIL import Image, ImageFile

import qorvan

# Pillow shows a plugin the first 16 bytes: the slide signature without its
# NUL, or the start of the library magic. Opening checks the rest.
_STARTS = (b"AutoCAD Slide\r\n\x1a", b"AutoCAD Slide Li")


def _accept(prefix):
    return prefix[:16] in _STARTS


class SldImageFile(ImageFile.ImageFile):
    format = "SLD"
    format_description = "AutoCAD slide"

    def _open(self):
        name = getattr(self.fp, "name", None)
        try:
            self._slides = qorvan.open(self.fp.read(), name if isinstance(name, str) else None)
        except qorvan.Error as e:
            raise SyntaxError(str(e)) from None
        if len(self._slides) == 0:
            raise SyntaxError("%s: a slide library without slides" % (name or "library"))
        self.n_frames = len(self._slides)
        self.is_animated = self.n_frames > 1
        self._set_mode("RGBA")
        self._frame = -1
        self._drawn = None
        self._go(0)

    def _set_mode(self, mode):
        # Pillow 10 made mode a property over _mode.
        if isinstance(getattr(type(self), "mode", None), property):
            self._mode = mode
        else:
            self.mode = mode

    def _go(self, frame):
        self._frame = frame
        self._size = self._slides.fit_size(frame)
        self.info["name"] = self._slides.names()[frame]
        self.tile = []

    def seek(self, frame):
        if not self._seek_check(frame):
            return
        self._go(frame)

    def tell(self):
        return self._frame

    def draft(self, mode, size):
        # Vectors: a smaller picture is drawn small, not drawn large and shrunk.
        if size:
            w, h = self._slides.fit_size(self._frame, max(1, int(size[0])), max(1, int(size[1])))
            self._size = (w, h)
        return None

    def load(self):
        want = (self._frame, self.size)
        if self._drawn != want:
            pixels = self._slides.render(self._frame, size=self.size)
            self.im = Image.core.new("RGBA", self.size)
            self.frombytes(pixels)
            self._drawn = want
        return Image.Image.load(self)

    def _close_fp(self):
        pass


Image.register_open(SldImageFile.format, SldImageFile, _accept)
Image.register_extensions(SldImageFile.format, [".sld", ".slb"])
Image.register_mime(SldImageFile.format, "image/vnd.sld")
