// A line on the single-instance socket: anything another process of the user's may send.
#include "desktop/single_instance.h"
#include "playback/local_file.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView line(data, qsizetype(size));
    const std::optional<QUrl> request = SingleInstance::parseRequest(line);
    if (!request || request->isEmpty())
        return 0;
    // Only an absolute local path is ever let through...
    const QByteArray path = local_file::path(*request);
    if (!path.startsWith('/') || path.contains('\0'))
        std::abort();
    // ...and what a second start would send for it is understood as the same file.
    const std::optional<QUrl> again =
        SingleInstance::parseRequest(QByteArray("open ") + local_file::fromPath(path).toEncoded());
    if (!again || local_file::path(*again) != path)
        std::abort();
    return 0;
}
