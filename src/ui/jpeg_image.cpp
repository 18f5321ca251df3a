#include "ui/jpeg_image.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace tq::ui {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return; we
// jump back to decodeJpeg instead of letting the default handler exit().
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
};

[[noreturn]] void onFatalError(j_common_ptr cinfo) {
  auto* self = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(self->escape, 1);
}

// Warnings (level -1) include "premature end of data segment": libjpeg would
// pad the missing part with grey and carry on. A picture with a missing part
// is a damaged file, so any warning ends the decode as a failure.
void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0) {
    onFatalError(cinfo);
  }
}

void silentOutput(j_common_ptr) {}

// Everything touched after setjmp lives here so that longjmp cannot leave a
// half-updated local behind (the C rule for locals modified after setjmp).
struct DecodeState {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors{};
  QImage image;
};

bool decodeInto(DecodeState& state, const QByteArray& data) {
  jpeg_decompress_struct& cinfo = state.cinfo;
  cinfo.err = jpeg_std_error(&state.errors.base);
  state.errors.base.error_exit = onFatalError;
  state.errors.base.emit_message = onMessage;
  state.errors.base.output_message = silentOutput;

  if (setjmp(state.errors.escape) != 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }

  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // Grey and colour pictures both come out as RGB; libjpeg refuses CMYK to
  // RGB, which ends up as a failure through the error manager.
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);

  const auto width = static_cast<int>(cinfo.output_width);
  const auto height = static_cast<int>(cinfo.output_height);
  if (cinfo.output_components != 3 || width <= 0 || height <= 0) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  state.image = QImage(width, height, QImage::Format_RGB888);
  if (state.image.isNull()) {  // allocation refused (absurd dimensions)
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = state.image.scanLine(static_cast<int>(cinfo.output_scanline));
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

}  // namespace

QImage decodeJpeg(const QByteArray& data) {
  if (data.isEmpty()) {
    return {};
  }
  DecodeState state;
  if (!decodeInto(state, data)) {
    return {};
  }
  return state.image;
}

}  // namespace tq::ui
