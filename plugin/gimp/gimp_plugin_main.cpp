// pictomarker: the GIMP 2.10 plug-in program. It registers the filter in
// Filters > Tavelwood, serving the drawable to PictomarkerPS as the photo
// editor serves its document, and procedures for scripts that sign and check
// the drawable without a window.
#include <libgimp/gimp.h>

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>

#include "plugin/gimp/document_signing.h"
#include "plugin/gimp/filter_run.h"
#include "plugin/gimp/gimp_drawable.h"

namespace pmk::gimp {
namespace {

constexpr char kFilterProcedure[] = "plug-in-pictomarker";
constexpr char kSignProcedure[] = "plug-in-pictomarker-sign";
// The sign procedure with the web layer as well; the first one keeps its
// parameters for the scripts that call it.
constexpr char kSignWithWebProcedure[] = "plug-in-pictomarker-sign2";
constexpr char kDetectProcedure[] = "plug-in-pictomarker-detect";
constexpr char kAuthor[] = "Tavelwood";
constexpr char kDate[] = "2026";

// libgimp's declarations take writable strings that it never writes.
GimpParamDef Param(GimpPDBArgType type, const char* name, const char* description) {
  return {type, const_cast<gchar*>(name), const_cast<gchar*>(description)};
}

void Query() {
  const GimpParamDef image_arguments[] = {
      Param(GIMP_PDB_INT32, "run-mode",
            "The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1) }"),
      Param(GIMP_PDB_IMAGE, "image", "Input image"),
      Param(GIMP_PDB_DRAWABLE, "drawable", "Input drawable (an RGB layer)"),
      Param(GIMP_PDB_STRING, "signature", "6 to 10 letters, digits or dashes"),
      Param(GIMP_PDB_INT32, "robust",
            "TRUE signs larger regions, which survive JPEG and rescaling better"),
      Param(GIMP_PDB_INT32, "web",
            "TRUE adds the web layer, which survives shrinking for the web with JPEG"),
  };
  const GimpParamDef found[] = {
      Param(GIMP_PDB_STRING, "signature", "The signature found, empty when there is none"),
  };
  gimp_install_procedure(
      kFilterProcedure, "Sign and check photographs with an invisible signature",
      "Opens the Pictomarker viewer on the layer: sign it, detect a signature, run batch jobs. "
      "The layer takes the viewer's picture when the window closes. Run without a dialog it "
      "changes nothing.",
      kAuthor, kAuthor, kDate, "Pictomarker...", "RGB*", GIMP_PLUGIN, 3, 0, image_arguments,
      nullptr);
  gimp_plugin_menu_register(kFilterProcedure, "<Image>/Filters/Tavelwood");
  gimp_install_procedure(
      kSignProcedure, "Sign the layer with an invisible signature",
      "Looks for a signature first and refuses an image that is already signed, then hides "
      "the signature in the layer's blue channel, as one undo step.",
      kAuthor, kAuthor, kDate, nullptr, "RGB*", GIMP_PLUGIN, 5, 0, image_arguments, nullptr);
  gimp_install_procedure(
      kSignWithWebProcedure, "Sign the layer with an invisible signature, for the web too",
      "As plug-in-pictomarker-sign; with web TRUE it also adds the web layer, which a check "
      "reads after the picture was shrunk and recompressed for the web.",
      kAuthor, kAuthor, kDate, nullptr, "RGB*", GIMP_PLUGIN, 6, 0, image_arguments, nullptr);
  gimp_install_procedure(kDetectProcedure, "Detect a Pictomarker signature in the layer",
                         "Returns the signature hidden in the layer, or an empty string.", kAuthor,
                         kAuthor, kDate, nullptr, "RGB*", GIMP_PLUGIN, 3, 1, image_arguments,
                         found);
}

// What a run hands back to GIMP; the text must outlive the call.
struct Reply {
  GimpPDBStatusType status = GIMP_PDB_SUCCESS;
  std::string text;  // the error message, or the detect procedure's result
  bool has_text = false;
};

Reply Failure(std::string message) {
  return {GIMP_PDB_EXECUTION_ERROR, std::move(message), true};
}

Reply RunFilter(GimpRunMode mode, gint32 image, gint32 drawable) {
  plugin::HostDocument document = ReadDrawable(drawable);
  const FilterOutcome outcome =
      RunFilterOnDocument(document, PropertiesOf(image, drawable), mode != GIMP_RUN_INTERACTIVE);
  switch (outcome.kind) {
    case FilterOutcome::kChanged:
      WriteDrawable(image, drawable, document);
      if (mode == GIMP_RUN_INTERACTIVE) gimp_displays_flush();
      return {};
    case FilterOutcome::kUnchanged:
      return {};
    case FilterOutcome::kCancelled:
      return {GIMP_PDB_CANCEL, {}, false};
    case FilterOutcome::kFailed:
      break;
  }
  return Failure(outcome.message);
}

Reply RunSign(gint32 image, gint32 drawable, const char* signature, const SignOptions& options) {
  ApplyPluginSettings(FilterLibraryFile().parent_path());
  plugin::HostDocument document = ReadDrawable(drawable);
  std::string why = SignDocument(document, signature != nullptr ? signature : "", options);
  if (!why.empty()) return Failure(std::move(why));
  WriteDrawable(image, drawable, document);
  return {};
}

Reply RunDetect(gint32 drawable) {
  ApplyPluginSettings(FilterLibraryFile().parent_path());
  std::string signature;
  std::string why = DetectInDocument(ReadDrawable(drawable), signature);
  if (!why.empty()) return Failure(std::move(why));
  return {GIMP_PDB_SUCCESS, std::move(signature), true};
}

Reply Dispatch(std::string_view name, gint count, const GimpParam* param) {
  const bool web = name == kSignWithWebProcedure;
  const bool sign = web || name == kSignProcedure;
  if (count < (web ? 6 : sign ? 5 : 3)) return {GIMP_PDB_CALLING_ERROR, {}, false};
  const auto mode = static_cast<GimpRunMode>(param[0].data.d_int32);
  const gint32 image = param[1].data.d_image;
  const gint32 drawable = param[2].data.d_drawable;
  if (std::string why = DrawableRefusal(image, drawable); !why.empty())
    return Failure(std::move(why));
  gegl_init(nullptr, nullptr);
  if (name == kFilterProcedure) return RunFilter(mode, image, drawable);
  if (sign) {
    return RunSign(
        image, drawable, param[3].data.d_string,
        {.robust = param[4].data.d_int32 != 0, .web_layer = web && param[5].data.d_int32 != 0});
  }
  if (name == kDetectProcedure) return RunDetect(drawable);
  return {GIMP_PDB_CALLING_ERROR, {}, false};
}

void Run(const gchar* name, gint count, const GimpParam* param, gint* reply_count,
         GimpParam** reply_values) {
  static GimpParam values[2];
  static Reply reply;
  try {
    reply = Dispatch(name, count, param);
  } catch (const std::exception& error) {
    reply = Failure(std::string("Pictomarker: ") + error.what());
  }
  values[0].type = GIMP_PDB_STATUS;
  values[0].data.d_status = reply.status;
  values[1].type = GIMP_PDB_STRING;
  values[1].data.d_string = const_cast<gchar*>(reply.text.c_str());
  *reply_count = reply.has_text ? 2 : 1;
  *reply_values = values;
}

const GimpPlugInInfo kPlugInInfo = {nullptr, nullptr, Query, Run};

}  // namespace
}  // namespace pmk::gimp

int main(int argc, char** argv) {
  // Outside GIMP: where the filter library is looked for, for installers.
  if (argc == 2 && std::string_view(argv[1]) == "--plugin-library") {
    std::printf("%s\n", pmk::gimp::FilterLibraryFile().c_str());
    return 0;
  }
  return gimp_main(&pmk::gimp::kPlugInInfo, argc, argv);
}
