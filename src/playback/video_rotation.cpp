#include "playback/video_rotation.h"

#include <optional>
#include <string_view>

namespace {

struct VideoTrack {
    bool isVideo = false;
    bool isDefault = false;
    int64_t rotation = 0;
};

VideoTrack videoTrackOf(const mpv_node &entry) {
    VideoTrack track;
    if (entry.format != MPV_FORMAT_NODE_MAP)
        return track;
    for (int i = 0; i < entry.u.list->num; ++i) {
        const std::string_view key = entry.u.list->keys[i];
        const mpv_node &value = entry.u.list->values[i];
        if (key == "type" && value.format == MPV_FORMAT_STRING)
            track.isVideo = std::string_view(value.u.string) == "video";
        else if (key == "default" && value.format == MPV_FORMAT_FLAG)
            track.isDefault = value.u.flag != 0;
        else if (key == "demux-rotation" && value.format == MPV_FORMAT_INT64)
            track.rotation = value.u.int64;
    }
    return track;
}

} // namespace

int videoRotationOf(const mpv_node &trackList) {
    if (trackList.format != MPV_FORMAT_NODE_ARRAY)
        return 0;
    std::optional<VideoTrack> chosen;
    for (int i = 0; i < trackList.u.list->num; ++i) {
        const VideoTrack track = videoTrackOf(trackList.u.list->values[i]);
        if (track.isVideo && (!chosen || (track.isDefault && !chosen->isDefault)))
            chosen = track;
    }
    if (!chosen)
        return 0;
    // Containers store any angle; only quarter turns are shown.
    const int64_t degrees = ((chosen->rotation % 360) + 360) % 360;
    return degrees % 90 == 0 ? int(degrees) : 0;
}

QByteArray rotationFilter(int degrees) {
    switch (degrees) {
    case 90:
        return "lavfi-transpose=clock";
    case 180:
        return "lavfi-hflip,lavfi-vflip";
    case 270:
        return "lavfi-transpose=cclock";
    default:
        return {};
    }
}
