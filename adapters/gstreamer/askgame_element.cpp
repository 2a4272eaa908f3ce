// The GStreamer element "askgame": a video filter that draws the game in place on the frames
// passing through, in their own format (I420, NV12, BGRA, RGBA, and BGRx and RGBx, whose fourth
// byte the game leaves alone), so a pipeline converts nothing for the game. What it plays is an
// ElementShow; this file is the GObject around it. Nothing thrown inside reaches GStreamer; a
// frame whose drawing failed passes as it came.
#include <gst/gst.h>
#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>

#include "adapters/frei0r/guarded.h"
#include "adapters/gstreamer/element_show.h"

namespace {

using frei0r_adapter::Guarded;
using gstreamer_adapter::ElementShow;
using gstreamer_adapter::FrameFormat;

// The formats drawn on in place, in caps notation.
#define ASKGAME_GST_FORMATS "{ I420, NV12, BGRA, RGBA, BGRx, RGBx }"

GST_DEBUG_CATEGORY_STATIC(askgame_debug);
#define GST_CAT_DEFAULT askgame_debug

// ---- Private state

struct GstAskgame {
    GstVideoFilter parent;
    ElementShow* show;
};

struct GstAskgameClass {
    GstVideoFilterClass parent_class;
};

G_DEFINE_TYPE(GstAskgame, gst_askgame, GST_TYPE_VIDEO_FILTER)

ElementShow& ShowOf(gpointer element) {
    return *reinterpret_cast<GstAskgame*>(element)->show;
}

// Property ids are the properties' indices plus one (GObject keeps 0 for itself).
std::optional<int> PropertyIndexOf(guint id) {
    if (id < 1 || id > guint(gstreamer_adapter::PropertyCount())) return std::nullopt;
    return int(id - 1);
}

std::optional<FrameFormat> FrameFormatOf(GstVideoFormat format) {
    switch (format) {
    case GST_VIDEO_FORMAT_I420:
        return FrameFormat::I420;
    case GST_VIDEO_FORMAT_NV12:
        return FrameFormat::Nv12;
    case GST_VIDEO_FORMAT_BGRA:
    case GST_VIDEO_FORMAT_BGRx:
        return FrameFormat::Bgra;
    case GST_VIDEO_FORMAT_RGBA:
    case GST_VIDEO_FORMAT_RGBx:
        return FrameFormat::Rgba;
    default:
        return std::nullopt;
    }
}

// The mapped frame's planes and strides as GStreamer laid them out.
gstreamer_adapter::FramePlanes PlanesOf(const GstVideoFrame& frame, FrameFormat format) {
    gstreamer_adapter::FramePlanes planes;
    planes.format = format;
    planes.width = GST_VIDEO_FRAME_WIDTH(&frame);
    planes.height = GST_VIDEO_FRAME_HEIGHT(&frame);
    const guint count = GST_VIDEO_FRAME_N_PLANES(&frame);
    for (guint i = 0; i < count && i < std::size(planes.data); ++i) {
        planes.data[i] = static_cast<std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, i));
        planes.strides[i] = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, i);
    }
    return planes;
}

// The buffer's position in the stream in seconds; nothing without a timestamp or outside the
// segment.
std::optional<double> StreamSecondsOf(const GstSegment& segment, const GstBuffer* buffer) {
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (!GST_CLOCK_TIME_IS_VALID(pts) || segment.format != GST_FORMAT_TIME) return std::nullopt;
    const guint64 stream = gst_segment_to_stream_time(&segment, GST_FORMAT_TIME, pts);
    if (!GST_CLOCK_TIME_IS_VALID(stream)) return std::nullopt;
    return double(stream) / double(GST_SECOND);
}

// ---- Properties

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* param) {
    const auto index = PropertyIndexOf(id);
    if (!index) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    const char* text = g_value_get_string(value);
    Guarded("setting a property", [&] { ShowOf(object).Set(*index, text ? text : ""); });
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* param) {
    const auto index = PropertyIndexOf(id);
    if (!index) {
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
        return;
    }
    Guarded("reading a property",
            [&] { g_value_set_string(value, ShowOf(object).Get(*index).c_str()); });
}

// ---- Lifecycle: caps, frames, stop

gboolean SetInfo(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in, GstCaps*, GstVideoInfo*) {
    const int width = GST_VIDEO_INFO_WIDTH(in);
    const int height = GST_VIDEO_INFO_HEIGHT(in);
    bool taken = false;
    if (FrameFormatOf(GST_VIDEO_INFO_FORMAT(in)))
        Guarded("taking new caps", [&] {
            taken = ShowOf(filter).Negotiate(width, height, GST_VIDEO_INFO_FPS_N(in),
                                             GST_VIDEO_INFO_FPS_D(in));
        });
    if (!taken)
        GST_ERROR_OBJECT(filter, "cannot draw on %dx%d %s frames", width, height,
                         gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(in)));
    return taken;
}

GstFlowReturn TransformFrameIp(GstVideoFilter* filter, GstVideoFrame* frame) {
    const auto format = FrameFormatOf(GST_VIDEO_FRAME_FORMAT(frame));
    if (!format) return GST_FLOW_OK;
    const std::optional<double> stream =
        StreamSecondsOf(GST_BASE_TRANSFORM(filter)->segment, frame->buffer);
    Guarded("drawing a frame", [&] { ShowOf(filter).Draw(stream, PlanesOf(*frame, *format)); });
    return GST_FLOW_OK;
}

gboolean Stop(GstBaseTransform* transform) {
    Guarded("stopping", [&] { ShowOf(transform).Stop(); });
    return TRUE;
}

void Finalize(GObject* object) {
    Guarded("closing", [&] { delete reinterpret_cast<GstAskgame*>(object)->show; });
    G_OBJECT_CLASS(gst_askgame_parent_class)->finalize(object);
}

// ---- The type and the plug-in

void gst_askgame_init(GstAskgame* self) {
    self->show = new ElementShow;
    // Every frame is drawn on where it is; none is copied to another buffer for the game.
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
}

void gst_askgame_class_init(GstAskgameClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    for (int i = 0; i < gstreamer_adapter::PropertyCount(); ++i) {
        const gstreamer_adapter::PropertyInfo info = gstreamer_adapter::PropertyAt(i);
        g_object_class_install_property(
            object, guint(i + 1),
            g_param_spec_string(info.name, info.name, info.blurb, "",
                                GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS |
                                            GST_PARAM_MUTABLE_PLAYING)));
    }

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "askgame quiz", "Filter/Effect/Video",
        "Plays an askgame quiz scenario or live show over the video, drawn in place", "askgame");
    GstCaps* caps = gst_caps_from_string(GST_VIDEO_CAPS_MAKE(ASKGAME_GST_FORMATS));
    const int side = gstreamer_adapter::MaxFrameSide();
    gst_caps_set_simple(caps, "width", GST_TYPE_INT_RANGE, 1, side, "height", GST_TYPE_INT_RANGE, 1,
                        side, nullptr);
    gst_element_class_add_pad_template(
        element, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(
        element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    GST_BASE_TRANSFORM_CLASS(klass)->stop = Stop;
    GstVideoFilterClass* filter = GST_VIDEO_FILTER_CLASS(klass);
    filter->set_info = SetInfo;
    filter->transform_frame_ip = TransformFrameIp;
}

gboolean PluginInit(GstPlugin* plugin) {
    GST_DEBUG_CATEGORY_INIT(askgame_debug, "askgame", 0, "askgame quiz overlay");
    return gst_element_register(plugin, "askgame", GST_RANK_NONE, gst_askgame_get_type());
}

} // namespace

// GStreamer lists the package an element comes from by these, PACKAGE as autotools would name it.
#define ASKGAME_GST_PACKAGE "askgame"
#define PACKAGE ASKGAME_GST_PACKAGE
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, askgame,
                  "Plays the askgame quiz over video, drawn in place", PluginInit, ASKGAME_VERSION,
                  GST_LICENSE_UNKNOWN, ASKGAME_GST_PACKAGE, ASKGAME_GST_PACKAGE)
