#include "plugin/gimp/gimp_drawable.h"

namespace pmk::gimp {
namespace {

const Babl* FormatOf(bool alpha) {
  return babl_format(alpha ? "R'G'B'A u8" : "R'G'B' u8");
}

std::string ModeName(GimpImageBaseType type) {
  switch (type) {
    case GIMP_RGB:
      return "RGBMode";
    case GIMP_GRAY:
      return "GrayScaleMode";
    case GIMP_INDEXED:
      return "IndexedColorMode";
  }
  return "UnknownMode";
}

std::string DepthOf(GimpPrecision precision) {
  switch (precision) {
    case GIMP_PRECISION_U8_LINEAR:
    case GIMP_PRECISION_U8_GAMMA:
      return "8";
    case GIMP_PRECISION_U16_LINEAR:
    case GIMP_PRECISION_U16_GAMMA:
    case GIMP_PRECISION_HALF_LINEAR:
    case GIMP_PRECISION_HALF_GAMMA:
      return "16";
    default:
      return "32";
  }
}

// The selection, kept aside while the whole layer is written.
class SelectionSetAside {
 public:
  explicit SelectionSetAside(gint32 image) : image_(image) {
    if (gimp_selection_is_empty(image_)) return;
    saved_ = gimp_selection_save(image_);
    gimp_selection_none(image_);
  }
  ~SelectionSetAside() {
    if (saved_ == -1) return;
    gimp_image_select_item(image_, GIMP_CHANNEL_OP_REPLACE, saved_);
    gimp_image_remove_channel(image_, saved_);
  }
  SelectionSetAside(const SelectionSetAside&) = delete;
  SelectionSetAside& operator=(const SelectionSetAside&) = delete;

 private:
  gint32 image_;
  gint32 saved_ = -1;
};

}  // namespace

std::string DrawableRefusal(gint32 image, gint32 drawable) {
  if (gimp_image_base_type(image) != GIMP_RGB ||
      gimp_image_get_precision(image) != GIMP_PRECISION_U8_GAMMA) {
    return "Pictomarker works on RGB images of 8-bit gamma precision only (Image > Mode > RGB, "
           "Image > Precision > 8 bit gamma integer)";
  }
  if (!gimp_item_is_layer(drawable)) return "Pictomarker works on layers only, not on channels";
  return {};
}

plugin::DocumentProperties PropertiesOf(gint32 image, gint32 drawable) {
  const GimpImageBaseType type = gimp_image_base_type(image);
  const bool masked = gimp_item_is_layer(drawable) && gimp_layer_get_mask(drawable) != -1;
  return {
      {"PSHOP_ImageMode", ModeName(type)},
      {"PSHOP_ImageDepth", DepthOf(gimp_image_get_precision(image))},
      {"PSHOP_HasLayerMask", masked ? "true" : "false"},
      {"PSHOP_HasSelectionMask", "false"},
      {"PSHOP_NumTrueChannels", type == GIMP_RGB ? "3" : "1"},
  };
}

plugin::HostDocument ReadDrawable(gint32 drawable) {
  plugin::HostDocument document;
  document.width = gimp_drawable_width(drawable);
  document.height = gimp_drawable_height(drawable);
  const bool alpha = gimp_drawable_has_alpha(drawable);
  document.channels = alpha ? 4 : 3;
  document.pixels.resize(static_cast<std::size_t>(document.width) * document.height *
                         document.channels);
  GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
  gegl_buffer_get(buffer, GEGL_RECTANGLE(0, 0, document.width, document.height), 1.0,
                  FormatOf(alpha), document.pixels.data(), GEGL_AUTO_ROWSTRIDE, GEGL_ABYSS_NONE);
  g_object_unref(buffer);
  return document;
}

void WriteDrawable(gint32 image, gint32 drawable, const plugin::HostDocument& document) {
  gimp_image_undo_group_start(image);
  {
    // The merge below applies the shadow only inside the selection.
    SelectionSetAside selection(image);
    GeglBuffer* shadow = gimp_drawable_get_shadow_buffer(drawable);
    gegl_buffer_set(shadow, GEGL_RECTANGLE(0, 0, document.width, document.height), 0,
                    FormatOf(document.channels == 4), document.pixels.data(), GEGL_AUTO_ROWSTRIDE);
    g_object_unref(shadow);
    gimp_drawable_merge_shadow(drawable, TRUE);
    gimp_drawable_update(drawable, 0, 0, document.width, document.height);
  }
  gimp_image_undo_group_end(image);
}

}  // namespace pmk::gimp
