// The stored window frame: any text a settings file may hold.
#include "app/window_fitting.h"
#include "app/window_frame_text.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QRectF> frame = window_frame_text::fromString(text);
    if (!frame)
        return 0;
    if (!std::isfinite(frame->x()) || !std::isfinite(frame->y()) || !(frame->width() > 0) ||
        !(frame->height() > 0))
        std::abort();
    // What is written reads back as the same frame.
    if (window_frame_text::fromString(window_frame_text::toString(*frame)) != frame)
        std::abort();
    // Whatever it says, a window placed from it lies on a screen.
    const QList<QRect> screens{{0, 25, 1440, 875}, {1440, 0, 1024, 768}};
    if (const std::optional<QRect> placed = placeStoredFrame(*frame, screens)) {
        const bool onAScreen = std::any_of(screens.begin(), screens.end(), [&](const QRect &area) {
            return area.contains(*placed) || (placed->isEmpty() && area.intersects(*placed)) ||
                   (placed->isEmpty() && area.contains(placed->topLeft()));
        });
        if (!onAScreen)
            std::abort();
    }
    return 0;
}
